#include "bigfiles/big_files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numeric>

#include "bigfiles/file_layer.h"
#include "tests/support/fakes.h"

// After the project's headers: windows.h defines a Yield() macro.
#ifdef _WIN32
#include <windows.h>
#endif

namespace torvane {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;
constexpr ByteCount k4GiB = 4294967296LL;

// Whether a file's zeros take no room on the disk: it takes less than 1 MiB.
// Wine reports neither the room a file takes (it says its length) nor the
// sparse mark, so under wine this cannot be seen and counts as true.
bool StoredSparse(const std::string& path) {
#ifdef _WIN32
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) return true;
  DWORD high = 0;
  const DWORD low = GetCompressedFileSizeW(PathFromUtf8(path).c_str(), &high);
  return high == 0 && low < 1048576;
#else
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && info.st_blocks * 512 < 1048576;
#endif
}

// Passes every call on to the real layer, counts the open files, traces the
// writes and syncs, and misbehaves on request. Its descriptors are the real
// ones shifted so that its first file gets 0, which must still count as an
// open file: both layers hand out the lowest free one.
struct FaultyLayer : FileLayerWrapper {
  FaultyLayer() : FileLayerWrapper(CurrentFileLayer()), real(target()) {}

  int Open(const std::string& path, Access access) override {
    const int fd = real.Open(path, access);
    if (shift < 0) shift = fd;
    open_files += fd >= 0;
    return fd < 0 ? -1 : fd - shift;
  }
  bool Close(int fd) override {
    --open_files;
    return real.Close(fd + shift);
  }
  bool Seek(int fd, ByteCount at) override { return real.Seek(fd + shift, at); }
  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount at) override {
    if (Fails(interrupt && ++transfers % 2, EINTR)) return -1;
    calls += 'w';
    return real.WriteAt(fd + shift, data, std::min(size, max_per_call), at);
  }
  long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount at) override {
    if (Fails(interrupt && ++transfers % 2, EINTR) || Fails(fail_reads, EIO)) return -1;
    return real.ReadAt(fd + shift, data, std::min(size, max_per_call), at);
  }
  bool Sync(int fd) override {
    calls += 's';
    return !fail_sync && real.Sync(fd + shift);
  }
  bool Truncate(int fd, ByteCount length) override { return real.Truncate(fd + shift, length); }
  ByteCount Size(int fd) override { return real.Size(fd + shift); }
  // Says whether the call fails, and sets errno to `error` if so.
  static bool Fails(bool fails, int error) {
    if (fails) errno = error;
    return fails;
  }

  FileLayer& real;
  ScopedServices scope{[this](Services& s) { s.files = this; }};
  int shift = -1;
  std::size_t max_per_call = SIZE_MAX;
  bool interrupt = false, fail_reads = false, fail_sync = false;  // interrupt: every other call
  long transfers = 0, open_files = 0;
  std::string calls;  // 'w' for each write that went through, 's' for each sync
};

// A fresh file system double, box recorder and pump; StopFlag cleared.
struct Bench {
  Bench() { StopFlag = false; }

  // Clears StopFlag and the layer's traces, gives the file `text` and opens
  // it for writing.
  FileHandle Open(const std::string& text = "") {
    StopFlag = false;
    layer.calls.clear();
    WriteFileBytes(path, text);
    return OpenAt(path);
  }
  FileHandle OpenAt(const std::string& n) { return files.OpenReadWrite(n, spare) ? spare : -9; }
#ifndef _WIN32
  FileHandle OpenPipe() {
    ::mkfifo(path.c_str(), 0600);
    return OpenAt(path);
  }
#endif
  bool Write(FileHandle h, ByteCount at, int n) { return files.API_WriteFile(h, at, Bytes(n)); }
  bool Read(FileHandle h) { return files.API_ReadFile(h, 0, buffer); }

  RecordingMessageBoxes boxes;
  ScriptedPump pump;
  TempDir dir;
  FaultyLayer layer;
  cBigFiles files;
  std::string path = dir.File("data.bin");
  FileHandle spare = 0;
  Bytes buffer = Bytes(16);
};
struct BigFilesTest : ::testing::Test, Bench {};

// Writes land at their offsets, past 4 GiB too (sparse: only the chunks near
// a boundary take room), and make the file exactly as long. A low word of
// 2^31 or more travels as a negative number and must still count unsigned.
// Partial and interrupted transfers still move every byte, and a write is
// synced once, after its last piece. Past the end of the file a read leaves
// the buffer's bytes as they were.
TEST_F(BigFilesTest, TransfersMoveEveryByteAtTheirOffset) {
  std::string data(100, '\0');
  std::iota(data.begin(), data.end(), '\0');
  const std::tuple<ByteCount, std::size_t, bool, std::size_t> rows[] = {
      // at, bytes per call, interrupted every other call, pieces written
      {5, 7, false, 15},
      {2147483648LL, SIZE_MAX, true, 1},
      {k4GiB - 50, 1, true, 100},
      {k4GiB + 2147483648LL, SIZE_MAX, false, 1}};
  for (const auto& [at, per_call, interrupt, pieces] : rows) {
    std::tie(layer.max_per_call, layer.interrupt) = std::tie(per_call, interrupt);
    FileHandle handle = Open("0123456789");
    buffer.assign(110, 0xEE);
    ASSERT_TRUE(files.API_WriteFile(handle, at, Bytes(data.begin(), data.end())));
    EXPECT_EQ(layer.calls, std::string(pieces, 'w') + 's') << at;
    ASSERT_TRUE(files.API_ReadFile(handle, at - 5, buffer));
    const std::string before = at == 5 ? "01234" : std::string(5, '\0');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), before + data + std::string(5, '\xEE'));
    files.API_CloseFile(handle);
    EXPECT_EQ(static_cast<ByteCount>(std::filesystem::file_size(path)), at + 100);
  }
}

// A Stop at the k-th yield of a write (W) or an open (O, R): the result, the
// caller's variable (-7 left alone by a read-only open, -1 after any failed
// read-write open), the files left open, and whether the new
// bytes were put on disk: after a write's flush (4, 5) they are, yet it fails.
TEST_F(BigFilesTest, StopAtEachYield) {
  // clang-format off
  const std::tuple<char, int, bool, FileHandle, long, bool> rows[] = {
      {'W', 0, true, 1, 1, true},    {'W', 1, false, 1, 1, false},  {'W', 2, false, 1, 0, false},
      {'W', 3, false, 1, 0, false},  {'W', 4, false, 1, 0, true},   {'W', 5, false, 1, 0, true},
      {'O', 0, true, 1, 1, false},   {'O', 1, false, -1, 0, false}, {'O', 2, false, -1, 0, false},
      {'R', 0, true, 1, 1, false},   {'R', 1, false, -7, 0, false}, {'R', 2, false, 0, 0, false}};
  // clang-format on
  for (const auto& [member, k, result, var, open, put] : rows) {
    SCOPED_TRACE(std::string(1, member) + std::to_string(k));
    FileHandle handle = Open("old-old-old");
    if (member != 'W') {
      files.API_CloseFile(handle);
      handle = -7;
    }
    pump.count = 0;
    pump.stop_at = k ? k : -1;  // the click comes at the k-th yield from now
    EXPECT_EQ(member == 'W'   ? files.API_WriteFile(handle, 4, Bytes{'n', 'e', 'w'})
              : member == 'O' ? files.OpenReadWrite(path, handle)
                              : files.OpenReadOnly(path, handle),
              result);
    const bool disk = ReadFileBytes(path) == "old-new-old";
    EXPECT_EQ(std::tuple(std::min(handle, 1), layer.open_files, disk), std::tuple(var, open, put));
    EXPECT_TRUE(k || pump.count == (member == 'W' ? 5 : 2)) << "every yield is reachable";
    files.API_CloseFile(handle);
  }
  EXPECT_TRUE(boxes.shown.empty());
}

// One box and false. A failed system call shows its location line without an
// icon (and a failed transfer stops the run and closes the file); bad input
// shows the fault's own text with the exclamation icon and moves no byte.
TEST(BigFiles, RefusalsShowOneBoxAndReturnFalse) {
  // clang-format off
  const auto at = [](std::string s, const char* member) { return s + "\r\n\r\nclsBigFiles." + member; };
  const std::tuple<const char*, std::function<bool(Bench&)>, std::string, bool, long> rows[] = {
#ifdef _WIN32
      // A device has no positions: NUL is Windows' /dev/null.
      {"WriteDevice", [](Bench& t) { return t.Write(t.OpenAt("NUL"), 0, 16); },
       at("Failed to set write file pointer.", "API_WriteFile"), true, 0},
#else
      {"WritePipe", [](Bench& t) { return t.Write(t.OpenPipe(), 0, 16); },
       at("Failed to set write file pointer.", "API_WriteFile"), true, 0},
      {"ReadPipe", [](Bench& t) { return t.Read(t.OpenPipe()); },
       at("Failed to set read file pointer.", "API_ReadFile"), true, 0},
      {"CutPipe", [](Bench& t) { t.files.API_SetEndOfFile(t.OpenPipe(), 0); return false; },
       at("Failed to set end of file pointer.", "API_SetEndOfFile"), false, 1},
      {"NoSpace", [](Bench& t) { return t.Write(t.OpenAt("/dev/full"), 0, 16); },
       at("Failed to write to file.", "API_WriteFile"), true, 0},
      // Opening a FIFO for output would wait for a reader for ever.
      {"PipeToPreSize", [](Bench& t) {
         ::mkfifo(t.path.c_str(), 0600);
         return t.files.CreateBigFile(t.path, 10); },
       "No such device or address", false, 0},
#endif
      {"ReadFails", [](Bench& t) { t.layer.fail_reads = true; return t.Read(t.Open("abc")); },
       at("Failed to read file.", "API_ReadFile"), true, 0},
      {"EmptyBuffer", [](Bench& t) { return t.Write(t.Open(), 0, 0); },
       "The data buffer has no elements.", false, 0},
      {"NegativePosition", [](Bench& t) { return t.Write(t.Open(), -80, 80); },
       "The file position is negative.", false, 0},
      // A refused name still leaves -1 in the caller's variable, as every failed open does.
      {"Blank", [](Bench& t) { return t.files.OpenReadWrite("", t.spare) || t.spare != -1; },
       "The file name is empty.", false, 0},
      // Longer than the \\?\ prefix allows on Windows, and than PATH_MAX.
      {"LongName", [](Bench& t) {
         return t.files.OpenReadWrite(t.path + std::string(40000, 'x'), t.spare) || t.spare != -1; },
       "The file name is too long.", false, 0},
      // Cut at the NUL, the name would empty the file it names.
      {"NulInName", [](Bench& t) {
         WriteFileBytes(t.path, "kept");
         return t.files.CreateBigFile(t.path + '\0' + "x", 0) || ReadFileBytes(t.path) != "kept"; },
       "The file name contains a NUL character.", false, 0}};
  // clang-format on
  for (const auto& [name, call, text, stops, open_after] : rows) {
    SCOPED_TRACE(name);
    Bench t;
    EXPECT_FALSE(call(t));
    ASSERT_EQ(t.boxes.Texts(), std::vector<std::string>{text});
    const bool located = text.find("\r\n\r\nclsBigFiles.") != std::string::npos;
    EXPECT_EQ(t.boxes.shown[0].icon, located ? MsgIcon::None : MsgIcon::Exclamation);
    EXPECT_EQ(std::pair(StopFlag, t.layer.open_files), std::pair(stops, open_after));
    EXPECT_TRUE(located || t.layer.calls.empty());
  }
}

// A write or a pre-sized file whose sync fails has failed; the engine's
// second close of the write's handle must leave the file opened since (on
// the same descriptor) alone.
TEST_F(BigFilesTest, FailedOpensShowNothingAndAStaleHandleClosesNoOtherFile) {
  FileHandle missing = 77, absent = 77, folder = 77;
  EXPECT_FALSE(files.OpenReadWrite(dir.File("missing/folder.bin"), missing));
  EXPECT_FALSE(files.OpenReadOnly(dir.File("missing.bin"), absent));
  EXPECT_FALSE(files.OpenReadOnly(dir.path().string(), folder)) << "a folder is no file";
  EXPECT_EQ(std::tuple(missing, absent, folder), std::tuple(-1, 77, -1));
  EXPECT_TRUE(boxes.shown.empty());

  layer.fail_sync = true;
  EXPECT_FALSE(files.CreateBigFile(dir.File("sized.bin"), 10));
  FileHandle stale = Open();
  EXPECT_FALSE(Write(stale, 0, 1));
  layer.fail_sync = StopFlag = false;
  const FileHandle second = OpenAt(dir.File("second.bin"));
  files.API_CloseFile(stale);
  EXPECT_EQ(stale, 0);
  EXPECT_TRUE(Write(second, 0, 2));
}

// 3 GiB without a byte written (so all zeros), verified; an existing
// read-only file is made writable, emptied and extended; 0 bytes empty it.
// Sizes in bits are upper-case hex without prefix or leading zeros, also
// past 2^31 - 1 bits; a missing file is -1 and leaves the text alone.
TEST_F(BigFilesTest, CreateBigFileAndCalcFileSize) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(files.CreateBigFile(path, 3221225472LL, true));
  EXPECT_EQ(fs::file_size(PathFromUtf8(path)), 3221225472u);
  EXPECT_TRUE(StoredSparse(path));
  WriteFileBytes(path, "old content that must go");
  fs::permissions(PathFromUtf8(path), fs::perms::owner_read | fs::perms::group_read);
  ASSERT_TRUE(files.CreateBigFile(path, 10, true));
  EXPECT_EQ(ReadFileBytes(path), std::string(10, '\0'));
  EXPECT_NE(fs::status(PathFromUtf8(path)).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(files.CreateBigFile(path, 0, true));
  EXPECT_EQ(ReadFileBytes(path), "");

  // clang-format off
  const std::pair<ByteCount, std::string> rows[] = {
      {0, "0"}, {268435456, "80000000"}, {8589934592LL, "1000000000"}, {3221225473LL, "600000008"},
      {0x1579BDE, "ABCDEF0"}, {0x1FDB9753, "FEDCBA98"}, {-1, "untouched"}};
  // clang-format on
  for (const auto& [bytes, bits] : rows) {
    if (bytes >= 0) std::filesystem::resize_file(path, bytes);
    ByteCount size = 12345;
    std::string text = "untouched";
    files.CalcFileSize(bytes < 0 ? path + ".missing" : path, size, &text);
    EXPECT_EQ(std::pair(size, text), std::pair(bytes, bits));
  }
  EXPECT_TRUE(boxes.shown.empty());
}

#ifndef _WIN32
// The real layer's Sync reaches the system: it fails where fdatasync does, on
// a device or a pipe (EINVAL) and on a descriptor that is not open (EBADF).
TEST(PosixFileLayer, SyncFailsWhereTheSystemCannotSync) {
  TempDir dir;
  FileLayer& posix = CurrentFileLayer();
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const auto open = [&](const std::string& name) {
    return posix.Open(name, FileLayer::Access::ReadWriteAlways);
  };
  // What, descriptor, errno (0: synced).
  const std::tuple<const char*, int, int> rows[] = {{"file", open(dir.File("data.bin")), 0},
                                                    {"device", open("/dev/null"), EINVAL},
                                                    {"pipe", pipe_ends[1], EINVAL},
                                                    {"not open", 4000, EBADF}};
  for (const auto& [what, fd, error] : rows) {
    errno = 0;
    EXPECT_EQ(std::pair(posix.Sync(fd), errno), std::pair(error == 0, error)) << what;
    EXPECT_TRUE(error == EBADF || posix.Close(fd)) << what;
  }
  ::close(pipe_ends[0]);
}

// An output folder may be reached through a symbolic link; a file is no
// folder, whatever leads to it. A file opened for writing never is reached
// through a link: the writes would land outside the folder.
TEST(PosixFileLayer, FoldersFollowLinksAndWritesNever) {
  TempDir dir;
  WriteFileBytes(dir.File("file"), "x");
  std::filesystem::create_directory(dir.File("folder"));
  std::filesystem::create_directory_symlink(dir.File("folder"), dir.File("to_folder"));
  std::filesystem::create_symlink(dir.File("file"), dir.File("to_file"));
  std::filesystem::create_symlink(dir.File("gone"), dir.File("dangling"));
  const std::pair<const char*, bool> rows[] = {{"folder", true},    {"to_folder", true},
                                               {"file", false},     {"to_file", false},
                                               {"dangling", false}, {"missing", false}};
  for (const auto& [name, folder] : rows)
    EXPECT_EQ(CurrentFileLayer().IsFolder(dir.File(name)), folder) << name;
  for (const char* link : {"to_file", "dangling"}) {
    errno = 0;
    EXPECT_EQ(CurrentFileLayer().Open(dir.File(link), FileLayer::Access::ReadWriteAlways), -1);
    EXPECT_EQ(errno, ELOOP) << link;
  }
}

#else

// What the Windows layer answers where Win32 says it differently from POSIX:
// the errno of each refusal, for the engine's messages.
TEST(WindowsFileLayer, RefusalsSetTheErrnoThatNamesThem) {
  TempDir dir;
  FileLayer& windows = CurrentFileLayer();
  std::filesystem::create_directory(PathFromUtf8(dir.File("folder")));
  WriteFileBytes(dir.File("read-only"), "x");
  std::filesystem::permissions(PathFromUtf8(dir.File("read-only")),
                               std::filesystem::perms::owner_read);
  const int closed = windows.Open(dir.File("closed"), FileLayer::Access::ReadWriteAlways);
  ASSERT_TRUE(windows.Close(closed));
  bool created = false;
  const std::tuple<const char*, std::function<bool()>, int> rows[] = {
      {"missing folder", [&] { return windows.OpenTarget(dir.File("gone/x"), created) >= 0; },
       ENOENT},
      {"missing drive", [&] { return windows.OpenTarget("Q:\\x.dat", created) >= 0; }, ENOENT},
      {"bad UTF-8", [&] { return windows.OpenTarget(dir.Utf8() + "\\\xC3(", created) >= 0; },
       EINVAL},
      {"folder", [&] { return windows.OpenTarget(dir.File("folder"), created) >= 0; }, EISDIR},
      {"read-only", [&] { return windows.OpenTarget(dir.File("read-only"), created) >= 0; },
       EACCES},
      {"closed", [&] { return windows.Sync(closed); }, EBADF}};
  for (const auto& [what, call, error] : rows) {
    errno = 0;
    EXPECT_EQ(std::pair(call(), errno), std::pair(false, error)) << what;
  }
}

// Offsets past 4 GiB travel whole; the end of the file reads as 0 bytes; a
// sparse file stores only the record. A name longer than MAX_PATH opens too.
TEST(WindowsFileLayer, SixtyFourBitOffsetsOnASparseFileAndLongNames) {
  TempDir dir;
  FileLayer& windows = CurrentFileLayer();
  const std::string folder = dir.File(std::string(150, 'f'));
  ASSERT_TRUE(std::filesystem::create_directory(L"\\\\?\\" + PathFromUtf8(folder).wstring()));
  const std::string path = folder + "\\" + std::string(150, 'n');
  const int fd = windows.Open(path, FileLayer::Access::ReadWriteAlways);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(windows.MarkSparse(fd));
  const ByteCount at = 5 * 1073741824LL;
  const std::string record = "a record at 5 GiB\r\n";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(record.data());
  EXPECT_EQ(windows.WriteAt(fd, bytes, record.size(), at), static_cast<long>(record.size()));
  Bytes back(64, 0);
  EXPECT_EQ(windows.ReadAt(fd, back.data(), back.size(), at), static_cast<long>(record.size()));
  EXPECT_EQ(std::string(back.begin(), back.begin() + record.size()), record);
  EXPECT_EQ(windows.ReadAt(fd, back.data(), back.size(), at + 100), 0);
  EXPECT_EQ(windows.Size(fd), at + static_cast<ByteCount>(record.size()));
  EXPECT_TRUE(windows.Close(fd));
  EXPECT_TRUE(StoredSparse(path));
}

// The run's lock keeps a second lock off the file, not the engine's second
// handle off its bytes; it dies with its handle.
TEST(WindowsFileLayer, TheLockMeetsOnlyOtherLocks) {
  TempDir dir;
  FileLayer& windows = CurrentFileLayer();
  const auto access = FileLayer::Access::ReadWriteAlways;
  const int first = windows.Open(dir.File("data"), access);
  const int second = windows.Open(dir.File("data"), access);
  ASSERT_TRUE(first >= 0 && second >= 0);
  EXPECT_TRUE(windows.LockExclusive(first));
  errno = 0;
  EXPECT_FALSE(windows.LockExclusive(second));
  EXPECT_EQ(errno, EWOULDBLOCK);
  const std::uint8_t byte = 'x';
  EXPECT_EQ(windows.WriteAt(second, &byte, 1, 0), 1);
  EXPECT_TRUE(windows.Close(first));
  EXPECT_TRUE(windows.LockExclusive(second));
  EXPECT_TRUE(windows.Close(second));
}

#endif

}  // namespace
}  // namespace torvane
