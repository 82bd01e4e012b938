#include "bigfiles/big_files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
constexpr std::size_t kLongestName = PATH_MAX;
#else
constexpr std::size_t kLongestName = 32767;  // what the \\?\ prefix allows
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numeric>

#include "bigfiles/file_layer.h"
#include "tests/support/fakes.h"
#include "tests/support/file_double.h"

namespace torvane {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;
constexpr ByteCount k2GiB = 2147483648LL, k4GiB = 2 * k2GiB;

// The tests' file double, whose reads also come in pieces of at most
// `max_per_read` bytes, and every other one fails with `read_error` if set.
struct Layer : FileDouble {
  long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount at) override {
    if (read_error != 0 && reads++ % 2 == 0) {
      errno = read_error;
      return -1;
    }
    return FileDouble::ReadAt(fd, data, std::min(size, max_per_read), at);
  }
  int read_error = 0, reads = 0;
  std::size_t max_per_read = SIZE_MAX;
};

// A fresh file system double, box recorder and pump; StopFlag cleared.
struct Bench {
  Bench() { StopFlag = false; }

  // Clears StopFlag, gives the file `text` and opens it for writing.
  FileHandle Open(const std::string& text = "") {
    StopFlag = false;
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
  Layer layer;
  cBigFiles files;
  std::string path = dir.File("data.bin");
  FileHandle spare = 0;
  Bytes buffer = Bytes(16);
};
struct BigFilesTest : ::testing::Test, Bench {};

// Writes land at their offsets, past 4 GiB too (sparse: only the chunks near
// a boundary take room), and make the file exactly as long. A low word of
// 2^31 or more travels as a negative number and must still count unsigned.
// Interrupted transfers and reads in pieces still move every byte, and each
// write is synced. Past the end of the file a read leaves the buffer's bytes
// as they were; the end may be set anywhere. Descriptor 0 is a file like any
// other.
// A Stop at the k-th yield of a write (W) or an open (O, R): the result, the
// caller's variable (-7 left alone by a read-only open, -1 after any failed
// read-write open), the files left open, and whether the new
// bytes were put on disk: after a write's flush (4, 5) they are, yet it fails.
TEST_F(BigFilesTest, TransfersMoveEveryByteAndStopAtEachYield) {
#ifndef _WIN32
  ::close(0);
#endif
  std::string data(100, '\0');
  std::iota(data.begin(), data.end(), '\0');
  // At, bytes per read, interrupted.
  const std::tuple<ByteCount, std::size_t, bool> rows[] = {{5, 7, false},
                                                           {k2GiB, SIZE_MAX, true},
                                                           {k4GiB - 50, 1, true},
                                                           {k4GiB + k2GiB, SIZE_MAX, false}};
  for (const auto& [at, per_read, interrupted] : rows) {
    FileHandle handle = Open("0123456789");
    std::tie(layer.max_per_read, layer.read_error) = std::tuple(per_read, interrupted ? EINTR : 0);
    if (interrupted) layer.Fail(FileDouble::kWrite, 1, EINTR);
    buffer.assign(110, 0xEE);
    ASSERT_TRUE(files.API_WriteFile(handle, at, Bytes(data.begin(), data.end())) &&
                !layer.unsynced());
    ASSERT_TRUE(files.API_ReadFile(handle, at - 5, buffer));
    const std::string before = at == 5 ? "01234" : std::string(5, '\0');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), before + data + std::string(5, '\xEE'));
    files.API_SetEndOfFile(handle, at + 60);
    files.API_CloseFile(handle);
    EXPECT_EQ(static_cast<ByteCount>(std::filesystem::file_size(path)), at + 60);
  }
  EXPECT_EQ(std::pair(layer.syncs, layer.sync_slips), std::pair(4, 0));

  // clang-format off
  const std::tuple<char, int, bool, FileHandle, int, bool> stops[] = {
      {'W', 0, true, 1, 1, true},    {'W', 1, false, 1, 1, false},  {'W', 2, false, 1, 0, false},
      {'W', 3, false, 1, 0, false},  {'W', 4, false, 1, 0, true},   {'W', 5, false, 1, 0, true},
      {'O', 0, true, 1, 1, false},   {'O', 1, false, -1, 0, false}, {'O', 2, false, -1, 0, false},
      {'R', 0, true, 1, 1, false},   {'R', 1, false, -7, 0, false}, {'R', 2, false, 0, 0, false}};
  // clang-format on
  for (const auto& [member, k, result, var, open, put] : stops) {
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
  const std::tuple<const char*, std::function<bool(Bench&)>, std::string, bool, int> rows[] = {
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
      // The real layer's Sync reaches the system, which cannot sync a device.
      {"SyncDevice", [](Bench& t) { return t.Write(t.OpenAt("/dev/null"), 0, 16); },
       at("Failed to write to file.", "API_WriteFile"), true, 0},
      // Opening a FIFO for output would wait for a reader for ever.
      {"PipeToPreSize", [](Bench& t) {
         ::mkfifo(t.path.c_str(), 0600);
         return t.files.CreateBigFile(t.path, 10); },
       "No such device or address", false, 0},
#endif
      {"ReadFails", [](Bench& t) { t.layer.read_error = EIO; return t.Read(t.Open("abc")); },
       at("Failed to read file.", "API_ReadFile"), true, 0},
      // Half the first write fits: the rest is tried, and finds no room.
      {"DiskFills", [](Bench& t) { t.layer.FillAtWrite(1); return t.Write(t.Open(), 0, 16); },
       at("Failed to write to file.", "API_WriteFile"), true, 0},
      {"EmptyBuffer", [](Bench& t) { return t.Write(t.Open(), 0, 0); },
       "The data buffer has no elements.", false, 0},
      {"NegativePosition", [](Bench& t) { return t.Write(t.Open(), -80, 80); },
       "The file position is negative.", false, 0},
      // A refused name still leaves -1 in the caller's variable, as every failed open does.
      {"Blank", [](Bench& t) { return t.files.OpenReadWrite("", t.spare) || t.spare != -1; },
       "The file name is empty.", false, 0},
      {"LongName", [](Bench& t) {
         const std::string name = t.path + std::string(kLongestName - t.path.size(), 'x');
         return t.files.OpenReadWrite(name, t.spare) || t.spare != -1; },
       "The file name is too long.", false, 0},
      // Cut at the NUL, the name would empty the file it names.
      {"NulInName", [](Bench& t) {
         WriteFileBytes(t.path, "kept");
         return t.files.CreateBigFile(t.path + '\0' + "x", 0) || ReadFileBytes(t.path) != "kept"; },
       "The file name contains a NUL character.", false, 0},
      {"NegativeSize", [](Bench& t) { return t.files.CreateBigFile(t.path, -1); },
       "The file size is negative.", false, 0}};
  // clang-format on
  for (const auto& [name, call, text, stops, open_after] : rows) {
    SCOPED_TRACE(name);
    Bench t;
    EXPECT_FALSE(call(t));
    ASSERT_EQ(t.boxes.Texts(), std::vector<std::string>{text});
    const bool located = text.find("\r\n\r\nclsBigFiles.") != std::string::npos;
    EXPECT_EQ(t.boxes.shown[0].icon, located ? MsgIcon::None : MsgIcon::Exclamation);
    EXPECT_EQ(std::pair(StopFlag, t.layer.open_files), std::pair(stops, open_after));
    EXPECT_TRUE(located || t.layer.writes.empty());
  }
}

// An existing read-only file is made writable, emptied and extended with
// zeros, verified; 0 bytes empty it.
// Sizes in bits are upper-case hex without prefix or leading zeros, also
// past 2^31 - 1 bits; a missing file is -1 and leaves the text alone, and
// a FIFO without a writer does not hang the measuring.
// A failed open shows nothing: the caller decides what to tell. A
// pre-sized file whose sync fails has failed.
TEST_F(BigFilesTest, CreateBigFileCalcFileSizeAndFailedOpens) {
  namespace fs = std::filesystem;
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
#ifndef _WIN32
  ::mkfifo(dir.File("fifo").c_str(), 0600);
  ByteCount size = -1;
  files.CalcFileSize(dir.File("fifo"), size);
  EXPECT_EQ(size, 0);
#endif
  FileHandle missing = 77, absent = 77, folder = 77;
  EXPECT_FALSE(files.OpenReadWrite(dir.File("missing/folder.bin"), missing));
  EXPECT_FALSE(files.OpenReadOnly(dir.File("missing.bin"), absent));
  EXPECT_FALSE(files.OpenReadOnly(dir.path().string(), folder)) << "a folder is no file";
  EXPECT_EQ(std::tuple(missing, absent, folder), std::tuple(-1, 77, -1));
  layer.Fail(FileDouble::kSync, 1, EIO);
  EXPECT_FALSE(files.CreateBigFile(dir.File("sized.bin"), 10));
  EXPECT_TRUE(boxes.shown.empty());
}

// A closed handle is EBADF. On Windows a name that is no UTF-8 is EINVAL.
// Elsewhere an output folder may be reached through a symbolic link; a file
// is no folder, whatever leads to it. A file opened for writing never is
// reached through a link: the writes would land outside the folder.
TEST(FileLayer, RefusalsSetTheErrnoAndLinks) {
  TempDir dir;
  FileLayer& layer = CurrentFileLayer();
  const int closed = layer.Open(dir.File("closed"), FileLayer::Access::ReadWriteAlways);
  ASSERT_TRUE(layer.Close(closed));
  EXPECT_FALSE(layer.Sync(closed));
  EXPECT_EQ(errno, EBADF);
#ifdef _WIN32
  bool created = false;
  EXPECT_LT(layer.OpenTarget(dir.Utf8() + "\\\xC3(", created), 0);
  EXPECT_EQ(errno, EINVAL);
#else
  WriteFileBytes(dir.File("file"), "x");
  std::filesystem::create_directory(dir.File("folder"));
  std::filesystem::create_directory_symlink(dir.File("folder"), dir.File("to_folder"));
  std::filesystem::create_symlink(dir.File("file"), dir.File("to_file"));
  for (const auto& [name, folder] :
       {std::pair{"to_folder", true}, {"to_file", false}, {"gone", false}})
    EXPECT_EQ(layer.IsFolder(dir.File(name)), folder) << name;
  EXPECT_EQ(layer.Open(dir.File("to_file"), FileLayer::Access::ReadWriteAlways), -1);
  EXPECT_EQ(errno, ELOOP);
#endif
}

}  // namespace
}  // namespace torvane
