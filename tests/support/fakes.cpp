#include "tests/support/fakes.h"

#ifndef _WIN32
#include <sys/mount.h>
#endif

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace torvane::testing {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TempDir::TempDir() {
  // create_directory reports whether it made the folder, so a name another
  // process took is never shared.
  std::random_device seed;
  do path_ = std::filesystem::temp_directory_path() / ("torvane-test-" + std::to_string(seed()));
  while (!std::filesystem::create_directory(path_));
}

TempDir::~TempDir() {
  namespace fs = std::filesystem;
  // On Windows the \\?\ form reaches names past MAX_PATH, which tests make.
#ifdef _WIN32
  const fs::path root = L"\\\\?\\" + path_.wstring();
#else
  const fs::path& root = path_;
#endif
  // Tests leave read-only files behind on purpose; make them removable.
  // Only the non-throwing steps: a destructor must not throw.
  std::error_code error, ignored;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root, ignored);
}

std::string TempDir::Utf8() const { return Utf8Path(path_); }

std::string TempDir::File(const std::string& name) const {
  return Utf8Path(path_ / PathFromUtf8(name));
}

#ifndef _WIN32
SmallDisk::SmallDisk(const std::string& size) {
  const std::string options = "size=" + size;
  mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount(dir_.path().c_str());
}
#endif

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ignored;
  const auto size = std::filesystem::file_size(PathFromUtf8(path), ignored);
  return ignored ? 0 : size;
}

void WaitForBytes(const std::string& path, std::uintmax_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (SizeOf(path) < bytes && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace torvane::testing
