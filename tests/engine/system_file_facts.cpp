#include "tests/engine/system_file_facts.h"

#include <cstdio>
#include <vector>

#include "tests/support/fakes.h"

// After the project's headers: windows.h defines a Yield() macro.
#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <sys/stat.h>
#endif

namespace torvane::testing {

#ifdef _WIN32
std::string SystemSha256(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
    return "no CNG";
  std::vector<UCHAR> input(bytes.begin(), bytes.end());
  UCHAR digest[32];
  const bool hashed = BCryptHash(algorithm, nullptr, 0, input.data(),
                                 static_cast<ULONG>(input.size()), digest, sizeof digest) == 0;
  BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!hashed) return "no hash";
  std::string hex;
  for (UCHAR byte : digest) hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
  return hex;
}

std::int64_t AllocatedBytes(const std::string& path) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr) return -1;
  const std::u8string utf8(path.begin(), path.end());
  const std::wstring wide = std::filesystem::path(utf8).wstring();
  DWORD high = 0;
  const DWORD low = GetCompressedFileSizeW(wide.c_str(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<std::int64_t>(high) << 32) | low;
}
#else
std::string SystemSha256(const std::string& path) {
  std::string hash(64, '?');
  FILE* pipe = ::popen(("sha256sum < '" + path + "'").c_str(), "r");
  if (pipe == nullptr) return "no sha256sum";
  if (std::fread(hash.data(), 1, hash.size(), pipe) != hash.size()) hash = "no hash";
  ::pclose(pipe);
  return hash;
}

std::int64_t AllocatedBytes(const std::string& path) {
  struct stat made {};
  if (::stat(path.c_str(), &made) != 0) return -1;
  return static_cast<std::int64_t>(made.st_blocks) * 512;
}
#endif

}  // namespace torvane::testing
