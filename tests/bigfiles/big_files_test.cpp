#include "bigfiles/big_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/bigfiles/big_files_peer.h"
#include "tests/bigfiles/faulty_layer.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr ByteCount k4GiB = 4294967296LL;

// Public members: the case tables below arrange and act through them.
struct BigFilesTest : ::testing::Test {
  BigFilesTest() { StopFlag = false; }
  ~BigFilesTest() override { StopFlag = false; }

  FileHandle OpenFresh(const std::string& content = "") {
    testing::WriteFileBytes(path, content);
    FileHandle handle = 0;
    EXPECT_TRUE(files.OpenReadWrite(path, handle));
    return handle;
  }

  testing::RecordingMessageBoxes boxes;
  testing::ScriptedPump pump;
  testing::TempDir dir;
  testing::FaultyLayer layer;
  cBigFiles files;
  std::string path = dir.File("data.bin");
};

struct SplitCase {
  ByteCount count;
  std::int32_t low, high;
};
struct SplitJoin : ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitJoin, LowWordIsAnUnsignedBitPattern) {
  const cBigFiles::Words words = cBigFilesTestPeer::Split(GetParam().count);
  EXPECT_EQ(words.low, GetParam().low);
  EXPECT_EQ(words.high, GetParam().high);
  EXPECT_EQ(cBigFilesTestPeer::Join(words), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(Positions, SplitJoin,
                         ::testing::Values(SplitCase{0, 0, 0},
                                           SplitCase{2147483648LL, INT32_MIN, 0},
                                           SplitCase{k4GiB - 1, -1, 0}, SplitCase{k4GiB, 0, 1},
                                           SplitCase{k4GiB + 2147483648LL, INT32_MIN, 1},
                                           SplitCase{INT64_MAX, -1, INT32_MAX}));

struct ChunkRun {
  ByteCount start;
  std::vector<std::size_t> chunks;
};
struct WritesInARow : BigFilesTest, ::testing::WithParamInterface<ChunkRun> {};

// Sparse files: only the chunks near the boundary take disk space.
TEST_P(WritesInARow, LandAtTheirOffsetsAndMakeTheFileExactlyAsLong) {
  FileHandle handle = OpenFresh();
  ByteCount position = GetParam().start;
  std::vector<ByteCount> offsets;
  for (std::size_t length : GetParam().chunks) {
    const Bytes chunk(length, static_cast<std::uint8_t>('a' + offsets.size()));
    offsets.push_back(position);
    ASSERT_TRUE(files.API_WriteFile(handle, position, chunk));
    Bytes back(length);
    ASSERT_TRUE(files.API_ReadFile(handle, position, back));
    EXPECT_EQ(back, chunk);
    position += static_cast<ByteCount>(length);
  }
  files.API_CloseFile(handle);
  EXPECT_EQ(layer.write_offsets, offsets);
  EXPECT_EQ(static_cast<ByteCount>(std::filesystem::file_size(path)), position);
}

INSTANTIATE_TEST_SUITE_P(FourGiBBoundary, WritesInARow,
                         ::testing::Values(ChunkRun{k4GiB - 1, {1}}, ChunkRun{k4GiB, {1}},
                                           ChunkRun{k4GiB - 100, {60, 60, 60}},
                                           ChunkRun{k4GiB - 61440, {61440, 80, 80}}));

// What a Stop click at the k-th yield leaves behind; 0: no click.
struct StopCase {
  std::string member;
  int stop_at;
  bool result;
  long open_after;
  std::string content;
};
struct StopAtYield : BigFilesTest, ::testing::WithParamInterface<StopCase> {};

TEST_P(StopAtYield, LeavesResultHandleAndFileAsAUserExpects) {
  const StopCase& c = GetParam();
  FileHandle handle = 77;
  bool result = false;
  if (c.member == "API_WriteFile") {
    handle = OpenFresh("old-old-old");
    pump.stop_at = c.stop_at ? pump.count + c.stop_at : -1;
    result = files.API_WriteFile(handle, 4, Bytes{'n', 'e', 'w'});
    if (!c.stop_at) {
      EXPECT_EQ(pump.count, 2 + 5) << "every yield of a write is reachable";
    }
  } else {
    testing::WriteFileBytes(path, c.content);
    pump.stop_at = c.stop_at ? c.stop_at : -1;
    result = c.member == "OpenReadOnly" ? files.OpenReadOnly(path, handle)
                                        : files.OpenReadWrite(path, handle);
    // A stop on entry leaves the variable alone; one after the open closes it.
    const FileHandle state = handle == 77 ? 77 : handle > 0 ? 1 : handle;
    EXPECT_EQ(state, c.stop_at == 1 ? 77 : c.result ? 1 : 0);
  }
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(layer.OpenCount(), c.open_after);
  EXPECT_EQ(testing::ReadFileBytes(path), c.content);
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Sweep, StopAtYield,
                         ::testing::Values(StopCase{"API_WriteFile", 0, true, 1, "old-new-old"},
                                           StopCase{"API_WriteFile", 1, false, 1, "old-old-old"},
                                           StopCase{"API_WriteFile", 2, false, 0, "old-old-old"},
                                           StopCase{"API_WriteFile", 3, false, 0, "old-old-old"},
                                           StopCase{"API_WriteFile", 4, false, 0, "old-new-old"},
                                           StopCase{"API_WriteFile", 5, false, 0, "old-new-old"},
                                           StopCase{"OpenReadWrite", 0, true, 1, "kept"},
                                           StopCase{"OpenReadWrite", 1, false, 0, "kept"},
                                           StopCase{"OpenReadWrite", 2, false, 0, "kept"},
                                           StopCase{"OpenReadOnly", 0, true, 1, "kept"},
                                           StopCase{"OpenReadOnly", 1, false, 0, "kept"},
                                           StopCase{"OpenReadOnly", 2, false, 0, "kept"}),
                         [](const auto& info) {
                           return info.param.member + "_" + std::to_string(info.param.stop_at);
                         });

// A failed system call: its message with the location line and no icon.
struct FailureCase {
  const char* name;
  std::function<void(BigFilesTest&)> arrange;
  std::string member, text;
  bool stops_and_closes;
};
struct SystemFailure : BigFilesTest, ::testing::WithParamInterface<FailureCase> {};

TEST_P(SystemFailure, IsReportedWithItsLocationAndEndsTheRun) {
  const FailureCase& c = GetParam();
  c.arrange(*this);
  FileHandle handle = 0;
  ASSERT_TRUE(files.OpenReadWrite(path, handle));
  Bytes data(16, 'x');
  bool result = false;
  if (c.member == "API_WriteFile") result = files.API_WriteFile(handle, 0, data);
  if (c.member == "API_ReadFile") result = files.API_ReadFile(handle, 0, data);
  if (c.member == "API_SetEndOfFile") files.API_SetEndOfFile(handle, 0);
  EXPECT_FALSE(result);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, c.text + "\r\n\r\nclsBigFiles." + c.member);
  EXPECT_EQ(boxes.shown[0].icon, MsgIcon::None);
  EXPECT_EQ(boxes.shown[0].title, "Torvane");
  EXPECT_EQ(StopFlag, c.stops_and_closes);
  EXPECT_EQ(layer.OpenCount(), c.stops_and_closes ? 0 : 1);
}

void Fifo(BigFilesTest& t) { ASSERT_EQ(::mkfifo(t.path.c_str(), 0600), 0); }

INSTANTIATE_TEST_SUITE_P(
    Calls, SystemFailure,
    ::testing::Values(
        FailureCase{"WritePipe", Fifo, "API_WriteFile", "Failed to set write file pointer.", true},
        FailureCase{"ReadPipe", Fifo, "API_ReadFile", "Failed to set read file pointer.", true},
        FailureCase{"CutPipe", Fifo, "API_SetEndOfFile", "Failed to set end of file pointer.",
                    false},
        FailureCase{"NoSpace", [](auto& t) { t.path = "/dev/full"; }, "API_WriteFile",
                    "Failed to write to file.", true},
        FailureCase{"SyncFails", [](auto& t) { t.layer.fail_sync = true; }, "API_WriteFile",
                    "Failed to write to file.", true},
        FailureCase{"ReadFails", [](auto& t) { t.layer.fail_reads = true; }, "API_ReadFile",
                    "Failed to read file.", true}),
    [](const auto& info) { return std::string(info.param.name); });

// Bad input: the fault's text with the exclamation icon, no byte moved, the
// run not stopped; a refused write closes its file.
struct BadInputCase {
  const char* name;
  std::function<bool(BigFilesTest&, FileHandle)> call;
  std::string text;
  long open_after;
};
struct BadInput : BigFilesTest, ::testing::WithParamInterface<BadInputCase> {};

TEST_P(BadInput, IsRefusedWithAClearMessage) {
  const FileHandle handle = OpenFresh("precious");
  EXPECT_FALSE(GetParam().call(*this, handle));
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{GetParam().text});
  EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_FALSE(StopFlag);
  EXPECT_TRUE(layer.write_offsets.empty());
  EXPECT_EQ(layer.OpenCount(), GetParam().open_after);
  EXPECT_EQ(testing::ReadFileBytes(path), "precious");
}

bool OpenNamed(BigFilesTest& t, const std::string& name) {
  FileHandle other = 0;
  return t.files.OpenReadWrite(name, other);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadInput,
    ::testing::Values(
        BadInputCase{"Empty", [](auto& t, FileHandle h) { return t.files.API_WriteFile(h, 0, {}); },
                     "The data buffer has no elements.", 0},
        BadInputCase{"Negative",
                     [](auto& t, FileHandle h) { return t.files.API_WriteFile(h, -80, Bytes(80)); },
                     "The file position is negative.", 0},
        BadInputCase{"NoName", [](auto& t, FileHandle) { return OpenNamed(t, ""); },
                     "The file name is empty.", 1},
        BadInputCase{
            "LongName",
            [](auto& t, FileHandle) { return OpenNamed(t, t.path + std::string(5000, 'x')); },
            "The file name is too long.", 1},
        BadInputCase{"NulInName",  // would otherwise empty the file named up to the NUL
                     [](auto& t, FileHandle) {
                       return t.files.CreateBigFile(t.path + std::string(1, '\0') + "x", 0);
                     },
                     "The file name contains a NUL character.", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BigFilesTest, FailedOpensShowNothing) {
  FileHandle handle = 77;
  EXPECT_FALSE(files.OpenReadWrite(dir.File("missing/folder.bin"), handle));
  EXPECT_EQ(handle, -1);
  handle = 77;
  EXPECT_FALSE(files.OpenReadOnly(dir.File("missing.bin"), handle));
  EXPECT_EQ(handle, 77);
  EXPECT_FALSE(files.OpenReadOnly(dir.path().string(), handle)) << "a folder is no file";
  EXPECT_EQ(handle, -1);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(BigFilesTest, StaleHandleClosedAgainLeavesTheNextFileOpen) {
  layer.fail_sync = true;
  const FileHandle stale = OpenFresh();
  EXPECT_FALSE(files.API_WriteFile(stale, 0, Bytes{1}));
  layer.fail_sync = StopFlag = false;
  FileHandle second = 0, copy = stale;
  ASSERT_TRUE(files.OpenReadWrite(dir.File("second.bin"), second));  // gets descriptor 0 again
  files.API_CloseFile(copy);
  EXPECT_EQ(copy, 0);
  EXPECT_TRUE(files.API_WriteFile(second, 0, Bytes{'o', 'k'}));
  EXPECT_EQ(testing::ReadFileBytes(dir.File("second.bin")), "ok");
}

struct Stutter : BigFilesTest, ::testing::WithParamInterface<std::pair<std::size_t, bool>> {};

TEST_P(Stutter, PartialAndInterruptedTransfersStillMoveEveryByte) {
  std::tie(layer.max_per_call, layer.interrupt) = GetParam();
  const FileHandle handle = OpenFresh("0123456789");
  Bytes data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(files.API_WriteFile(handle, 5, data));
  Bytes back(110, 0xEE);
  ASSERT_TRUE(files.API_ReadFile(handle, 0, back));
  EXPECT_EQ(Bytes(back.begin(), back.begin() + 5), (Bytes{'0', '1', '2', '3', '4'}));
  EXPECT_EQ(Bytes(back.begin() + 5, back.begin() + 105), data);
  EXPECT_EQ(Bytes(back.begin() + 105, back.end()), Bytes(5, 0xEE)) << "past the end: untouched";
}

INSTANTIATE_TEST_SUITE_P(Transfers, Stutter,
                         ::testing::Values(std::pair{7, false}, std::pair{SIZE_MAX, true},
                                           std::pair{1, true}));

}  // namespace
}  // namespace torvane
