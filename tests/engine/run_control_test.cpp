// One run from the click to "Done.": stops, failures and what the user sees.

#include <cstring>

#include "common/error_box.h"
#include "engine/messages.h"
#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;

class StopSweep : public EngineTest, public ::testing::WithParamInterface<bool> {};

// A Stop click at the k-th yield, for k spread over a whole run: the file
// holds whole records or chunks, the handle is closed, the caption is back,
// "Done." shows once, and (fixed-length) the last progress text names the
// bytes on disk.
TEST_P(StopSweep, LeavesWholeRecordsOrChunks) {
  const bool fixed = GetParam();
  Custom(fixed ? "1000" : "100000", 0, fixed);
  // For the continuous builder, a narrow range yields once per byte looked at.
  window.job.LowText = fixed ? "0" : "200";
  const std::string file_path = dir.File(fixed ? "Byte_1000.dat" : "Byte_100000.dat");
  std::int64_t yields = 0;
  {
    ScriptedPump pump;
    PushButton1_Click();
    yields = pump.count;
  }
  ASSERT_GT(yields, 1000);
  for (std::int64_t k = 1; k <= yields; k += 1 + k / (fixed ? 100 : 30)) {
    SCOPED_TRACE(k);
    std::filesystem::remove(file_path);
    window.last_run_text.clear();
    boxes.shown.clear();
    RecordingFileLayer layer;
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      if (n == k) PushButton1_Click();
    };
    PushButton1_Click();
    const std::string file = ReadFileBytes(file_path);
    if (fixed) {
      EXPECT_TRUE(file.size() % 80 == 0 || file.size() == 1000) << file.size();
      for (std::size_t end = 80; end <= file.size(); end += 80)
        EXPECT_EQ(file.substr(end - 2, 2), "\r\n");
      if (!window.last_run_text.empty()) {
        EXPECT_EQ(window.last_run_text, ProgressText(static_cast<ByteCount>(file.size()), 1000));
      }
    } else {
      const std::set<std::size_t> chunk_ends = {0, 61440, 94208, 98304, 100000};
      EXPECT_TRUE(chunk_ends.count(file.size())) << file.size();
    }
    EXPECT_TRUE(layer.open_fds.empty());
    EXPECT_EQ(window.caption, "Start Creating File");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    // The yields of a narrow range vary with the draws: k may lie past the end.
    EXPECT_EQ(LastOutcome(), pump.count >= k ? RunOutcome::Stopped : RunOutcome::Completed);
  }
}
INSTANTIATE_TEST_SUITE_P(BothBuilders, StopSweep, ::testing::Bool());

TEST_F(EngineTest, StopClickWithoutAFolderShowsTheFolderMessageAndTheRunGoesOn) {
  Custom("2000");
  ScriptedPump pump;
  pump.on_pump = [&](std::int64_t n) {
    if (n != 500) return;
    window.click_folder = "/no/such/folder";
    PushButton1_Click();
    window.click_folder.reset();
  };
  PushButton1_Click();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{std::string(kFolderMissingMessage), "Done."}));
  EXPECT_EQ(std::filesystem::file_size(dir.File("Byte_2000.dat")), 2000u);
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
}

// After Stop the caption is idle again while the run winds down: a click then
// must not start a second run over the same state.
TEST_F(EngineTest, StartWhileWindingDownIsNotTaken) {
  Custom("2000");
  ScriptedPump pump;
  pump.on_pump = [&](std::int64_t n) {
    if (n == 300) PushButton1_Click(), PushButton1_Click();  // Stop, then a start
  };
  PushButton1_Click();
  EXPECT_EQ(window.jobs_read, 1);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
  EXPECT_FALSE(IsRunning());
}

TEST_F(EngineTest, SameJobTwiceWithAndWithoutTrailingSeparatorReplacesTheFile) {
  const std::string folder = window.job.OutputFolder, path = folder + "/KB_1.dat";
  window.job.OutputFolder = folder + "/";
  PushButton1_Click();
  EXPECT_EQ(JobFilePath(), path);
  const std::string first = ReadFileBytes(path);
  window.job.OutputFolder = folder;
  PushButton1_Click();
  EXPECT_EQ(JobFilePath(), path);
  EXPECT_EQ(ReadFileBytes(path).size(), 1024u);
  EXPECT_NE(ReadFileBytes(path), first);
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_EQ(Dones(), 2);
}

TEST_F(EngineTest, ZeroLengthEmptiesEmptyDatWithoutProgressText) {
  WriteFileBytes(dir.File("Empty.dat"), "old content");
  Custom(" 0 ", 2);
  PushButton1_Click();
  EXPECT_EQ(ReadFileBytes(dir.File("Empty.dat")), "");
  EXPECT_EQ(window.texts, std::vector<std::string>{"Progress Bar"});
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
}

class RefusedJob
    : public EngineTest,
      public ::testing::WithParamInterface<std::tuple<const char*, int, const char*, std::string>> {
};

TEST_P(RefusedJob, ShowsWhyAndTouchesNoFile) {
  const auto& [length, unit, low, message] = GetParam();
  Custom(length, unit);
  window.job.LowText = low;
  PushButton1_Click();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{message, "Done."}));
  EXPECT_EQ(boxes.shown[0].title, AppTitle());
  EXPECT_EQ(FilesInDir(), 0u);
  EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, RefusedJob,
    ::testing::Values(std::tuple{"-5", 1, "0", LengthNegativeMessage("-5")},
                      std::tuple{"5", 9, "0", UnitOutOfRangeMessage(9)},
                      std::tuple{"ten", 1, "0", LengthNotANumberMessage("ten")},
                      std::tuple{"5", 1, "70000", ByteValueOutOfRangeMessage("Low", "70000")}));

enum class Failure { CannotCreate, CannotOpen, WriteFails, DiskFull };
class FailedRun : public EngineTest,
                  public ::testing::WithParamInterface<std::tuple<bool, Failure>> {};

// The run ends through StopFlag with its message, the file keeps the whole
// records or chunks written before the failure, and "Done." follows.
TEST_P(FailedRun, EndsWithItsMessageKeepingWhatWasWritten) {
  const auto [fixed, failure] = GetParam();
  RecordingFileLayer layer;
  layer.fail_create = failure == Failure::CannotCreate;
  layer.fail_open_at = failure == Failure::CannotOpen ? 1 : -1;
  layer.fail_write_at = failure == Failure::WriteFails ? 3 : -1;
  layer.no_space_at = failure == Failure::DiskFull ? 3 : -1;
  Custom("200000", 0, fixed);
  const std::string path = dir.File("Byte_200000.dat");
  PushButton1_Click();

  const std::string message = failure == Failure::CannotCreate
                                  ? CannotEmptyMessage(path, std::strerror(EACCES))
                              : failure == Failure::CannotOpen ? CannotOpenMessage(path)
                                                               : "Failed to write to file.";
  const auto texts = boxes.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].substr(0, message.size()), message);
  EXPECT_EQ(texts[1], "Done.");
  const std::size_t kept = failure >= Failure::WriteFails ? (fixed ? 160 : 122880) : 0;
  EXPECT_EQ(ReadFileBytes(path).size(), kept);
  EXPECT_EQ(std::filesystem::exists(path), failure != Failure::CannotCreate);
  if (fixed && failure != Failure::CannotCreate) {
    EXPECT_EQ(window.last_run_text, ProgressText(static_cast<ByteCount>(kept), 200000));
  }
  EXPECT_TRUE(layer.open_fds.empty());
  EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
}

INSTANTIATE_TEST_SUITE_P(
    BothBuilders, FailedRun,
    ::testing::Combine(::testing::Bool(),
                       ::testing::Values(Failure::CannotCreate, Failure::CannotOpen,
                                         Failure::WriteFails, Failure::DiskFull)));

// A failing statement of the click or of CalcProgress shows the error box
// naming its procedure and line, and the procedure goes on with the next.
TEST_F(EngineTest, ErrorBoxNamesTheLineAndTheRunGoesOn) {
  window.bar_broken = true;
  PushButton1_Click();
  const auto texts = boxes.Texts();
  ASSERT_GE(texts.size(), 3u);
  for (std::size_t i = 0; i + 2 < texts.size(); ++i)
    EXPECT_EQ(texts[i], ErrorBoxText("bar broken", "FileCreator", "CalcProgress", 30));
  EXPECT_EQ(texts[texts.size() - 2], ErrorBoxText("bar broken", "Form1", "PushButton1_Click", 110));
  EXPECT_EQ(texts.back(), "Done.");
  EXPECT_EQ(window.texts.back(), "Progress Bar");  // the statement after the failing one
  EXPECT_EQ(ReadFileBytes(dir.File("KB_1.dat")).size(), 1024u);
}

// No byte value lies in 300..255: the pool never fills, the window stays
// live, and only Stop ends the run, with the file empty.
TEST_F(EngineTest, EmptyRangeKeepsDrawingUntilStop) {
  window.job.LowText = "300";
  ScriptedPump pump;
  pump.on_pump = [&](std::int64_t n) {
    if (n == 300000) RequestStop();
  };
  PushButton1_Click();
  EXPECT_GE(pump.count, 300000);
  EXPECT_EQ(ReadFileBytes(dir.File("KB_1.dat")), "");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
  EXPECT_EQ(LastOutcome(), RunOutcome::Stopped);
}

}  // namespace
}  // namespace torvane::testing
