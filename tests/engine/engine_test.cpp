// One run from the click to "Done.": the file's name and size, the progress
// display, what both builders write, and how stops and failures end a run.

#include <cmath>
#include <map>
#include <set>

#include "common/error_box.h"
#include "common/text.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "random/seeded_provider.h"
#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;

// A preset (no length; `unit` is the row) or a typed length and unit, read
// with a decimal comma when it has a comma; `expect` is the name and the
// size, or the message of a refused job ("" any message).
using TargetRow = std::tuple<const char*, int, std::string>;
class Target : public ::testing::TestWithParam<TargetRow> {};

TEST_P(Target, NameAndSize) {
  const auto& [length, unit, expect] = GetParam();
  JobSettings job;
  job.UsePresetSize = length == nullptr;
  job.PresetIndex = job.CustomUnit = unit;
  job.CustomLength = length != nullptr ? length : "";
  SetUserNumberLocale({job.CustomLength.find(',') != std::string::npos ? "," : ".", ","});
  const Result<JobTarget> t = ResolveTarget(job);
  SetUserNumberLocale({});
  const std::string refusal = expect.empty() ? "" : t.error();
  EXPECT_EQ(t ? t->name + " " + std::to_string(t->size) : refusal, expect);
}

// Each preset is named for its count of kilo- or megabytes, ascending
// within its unit; the floppies' two sizes are the exceptions, exact.
TEST(Presets, NamesCountTheirUnits) {
  const std::map<std::string, ByteCount> units = {{"KB_", 1024}, {"MB_", 1048576}},
                                         floppies = {{"MB_144", 1457664}, {"KB_720", 730112}};
  std::map<std::string, ByteCount> last;
  int found = 0;
  for (int i = 0; i < 24; ++i) {
    JobSettings job;
    job.PresetIndex = i;
    const Result<JobTarget> t = ResolveTarget(job);
    ASSERT_TRUE(t) << i;
    if (floppies.count(t->name)) {
      EXPECT_EQ(t->size, floppies.at(t->name));
      ++found;
      continue;
    }
    const std::string unit = t->name.substr(0, 3);
    ASSERT_EQ(units.count(unit), 1u) << t->name;
    EXPECT_EQ(unit + std::to_string(t->size / units.at(unit)), t->name);
    EXPECT_EQ(t->size % units.at(unit), 0);
    EXPECT_GT(t->size, last[unit]) << t->name;
    last[unit] = t->size;
  }
  EXPECT_EQ(found, 2);
}

using T = TargetRow;
INSTANTIATE_TEST_SUITE_P(
    Lengths, Target,
    ::testing::Values(
        T{" 10 ", 2, "MB_10 10485760"}, T{"1.5", 1, "KB_1.5 1536"}, T{"1,5", 1, "KB_1,5 1536"},
        // Fractional bytes: the nearest whole byte, a half up.
        T{"2.5", 0, "Byte_2.5 3"}, T{"0.3", 3, "GB_0.3 322122547"},
        // A zero size, however typed, is the empty file whatever the unit.
        T{"0", 3, "Empty 0"}, T{"", 1, "Empty 0"}, T{"00", 2, "Empty 0"}, T{"0.4", 0, "Empty 0"},
        // Refused before any file is touched.
        T{nullptr, -1, PresetOutOfRangeMessage(-1)}, T{nullptr, 24, ""},
        T{"-5", 1, LengthNegativeMessage("-5")}, T{"-0.5", 0, ""},
        T{"abc", 0, LengthNotANumberMessage("abc")}, T{"1e3", 0, ""},
        T{"1", 5, UnitOutOfRangeMessage(5)}, T{"2", 4, "TB_2 2199023255552"}, T{"0", -1, ""},
        T{"930000000000000", 0, LengthTooLargeMessage("930000000000000")},
        T{"900000000000000", 2, ""}, T{"900000000000", 3, ""}));

// The percentage done raised to the next whole number (-1: the bar untouched,
// as at the start of a job).
TEST_F(EngineTest, ProgressValue) {
  const std::tuple<ByteCount, double, int> rows[] = {
      {1457664, 729000, 51},   {1000000, 1, 1}, {1000000, 500000, 50}, {1000000, 999999, 100},
      {1000, 5000, 100},       {2048, 0, -1},   {0, 10, -1},           {1000, -1e30, 0},
      {1000, std::nan(""), -1}};
  for (const auto& [total, current, value] : rows) {
    values.clear();
    detail::g_run.total_bytes = total;
    CalcProgress(current);
    EXPECT_EQ(values, value < 0 ? std::vector<int>{} : std::vector{value}) << current;
  }
}

using Sizes = std::vector<std::size_t>;

Sizes Repeat(std::size_t n, std::size_t size, Sizes tail = {}) {
  tail.insert(tail.begin(), n, size);
  return tail;
}

enum Mode { Hex, Binary, Continuous };
struct LayoutRow {
  const char* bytes;
  Mode mode;
  CaseConversion conversion;
  const char* alphabet;  // what content bytes may be (nullptr: any)
  Sizes writes;
  const char* low = "0";
  const char* high = "255";
  std::size_t switch_at = SIZE_MAX;  // after this record: binary, lower case, only a-f
};
const char* const kModes[] = {"Hex", "Binary", "Continuous"};
const char* const kCases[] = {"None", "Lower", "Upper"};
void PrintTo(const LayoutRow& row, std::ostream* os) {
  *os << row.bytes << " bytes " << kModes[row.mode] << ' ' << kCases[int(row.conversion)]
      << ", Low " << ::testing::PrintToString(row.low) << ", High "
      << ::testing::PrintToString(row.high) << ", " << row.writes.size() << " writes";
}
std::string LayoutName(const ::testing::TestParamInfo<LayoutRow>& info) {
  const LayoutRow& row = info.param;
  return kModes[row.mode] + std::string(row.bytes) + kCases[int(row.conversion)] + "_" +
         std::to_string(info.index);
}
class Layout : public EngineTest, public ::testing::WithParamInterface<LayoutRow> {};
using L = LayoutRow;

// The writes follow each other without gaps (past 4 GiB through a layer that
// keeps no data), each synced before the next, and leave exactly the size
// over an older, longer file, also with a separator at the end of the
// folder; records end in CR LF and show only their alphabet (Low and High go
// to the nearest whole number, a half to the even one). Hex pairs and case
// are read while the run goes on, so a switch changes the records from then
// on. Progress is shown at the start, once more while the clock stands
// still, and at the end.
TEST_P(Layout, WritesItsSequenceAndOnlyItsAlphabet) {
  const LayoutRow& row = GetParam();
  const bool fixed = row.mode != Continuous;
  const ByteCount total = std::stoll(row.bytes);
  const std::string path = dir.File(std::string("Byte_") + row.bytes + ".dat");
  layer.discard = total > (ByteCount{1} << 32);
  // Past 4 GiB the bytes are thrown away: a seeded stream makes them several
  // times faster than the system generator does under Wine.
  SeededCryptoProvider seeded("4 GiB");
  ScopedServices fast([&](Services& s) {
    if (layer.discard) s.crypto = &seeded;
  });
  WriteFileBytes(path, std::string(9000, 'x'));
  Custom(row.bytes, fixed);
  if (row.mode == Binary) job.OutputFolder += kPathSeparator;
  std::tie(job.LowText, job.HighText, job.HexPairs, job.Case) =
      std::tuple(row.low, row.high, row.mode == Hex, row.conversion);
  switch_at = row.switch_at;
  FakeTicks ticks;
  PushButton1_Click();

  EXPECT_EQ(layer.writes, row.writes);
  EXPECT_EQ(std::tuple(layer.gaps, layer.syncs, layer.sync_slips),
            std::tuple(0, int(row.writes.size()), 0));
  EXPECT_EQ(texts.size(), row.writes.size() > 1 ? 4u : 3u);
  EXPECT_EQ(RunText(), ProgressText(total, total));
  EXPECT_EQ(JobFilePath(), path);
  const std::string file = ReadFileBytes(path);
  ASSERT_EQ(static_cast<ByteCount>(file.size()), layer.discard ? 0 : total);
  if (row.alphabet == nullptr) return;
  const std::size_t record_length = fixed ? 80 : file.size();
  for (std::size_t at = 0; at < file.size(); at += record_length) {
    const std::string record = file.substr(at, record_length);
    // A 1-byte last record is one content byte, without a line end.
    const std::size_t content = !fixed || record.size() == 1 ? record.size() : record.size() - 2;
    EXPECT_EQ(record.substr(content), content == record.size() ? "" : "\r\n");
    const char* alphabet = at / 80 > row.switch_at ? "abcdef" : row.alphabet;
    EXPECT_EQ(record.substr(0, content).find_first_not_of(alphabet), std::string::npos) << at;
  }
}

constexpr const char* kHex = "0123456789ABCDEF";
using enum CaseConversion;

INSTANTIATE_TEST_SUITE_P(
    Fixed, Layout,
    ::testing::Values(L{"1024", Hex, None, kHex, Repeat(12, 80, {64})},
                      L{"162", Hex, None, kHex, Repeat(2, 80, {2})},
                      L{"161", Hex, None, kHex, Repeat(2, 80, {1})},
                      L{"1024", Hex, Lower, "0123456789abcdef", Repeat(12, 80, {64})},
                      L{"1024", Binary, None, "ABCDEF", Repeat(12, 80, {64}), " 65\t", "70.5"},
                      L{"1024", Binary, Lower, "abcdef", Repeat(12, 80, {64}), "65", "70"},
                      L{"1024", Binary, Upper, "ABCDEF", Repeat(12, 80, {64}), "97", "102"},
                      // Beyond ASCII, the letter pairs of Windows-1252: Ø/ø, þ/Þ, ÿ/Ÿ; × is none.
                      L{"1024", Binary, Lower, "\xD7\xF8", Repeat(12, 80, {64}), "215", "216"},
                      L{"1024", Binary, Upper, "\xDE\x9F", Repeat(12, 80, {64}), "254", "255"},
                      L{"100000", Binary, None, "\1\2\3\4\5\6\7\10\11\12\13\14\15",
                        Repeat(1250, 80), "1", "13"},
                      // The hex of 65..70 is 41..46: digits only until the switch.
                      L{"8000", Hex, None, "0123456789", Repeat(100, 80), "65", "70", 49}),
    LayoutName);

INSTANTIATE_TEST_SUITE_P(
    Continuous, Layout,
    ::testing::Values(L{"1024", Continuous, None, nullptr, {1024}},
                      L{"65536", Continuous, None, nullptr, Repeat(1, 61440, {4096})},
                      L{"100000", Continuous, None, "0123456789",
                        Repeat(1, 61440, {32768, 4096, 1696}), "48", "57"},
                      L{"10485760", Continuous, None, nullptr, Repeat(170, 61440, {32768, 8192})},
                      L{"119784", Continuous, None, nullptr, {61440, 49152, 8192, 1000}},
                      L{"20481", Continuous, None, nullptr, {16384, 4096, 1}},
                      L{"4295000000", Continuous, None, nullptr,
                        Repeat(69905, 61440, {32768, 4032})}),
    LayoutName);

class StopSweep : public EngineTest, public ::testing::WithParamInterface<bool> {};

// A Stop click at the k-th yield, for k spread over runs until one completes
// first: the file holds whole records or chunks, the handle is closed, the
// caption is back, "Done." shows once, and (fixed-length) the last progress
// text names the bytes on disk. A start clicked right after the Stop, while
// the run winds down, is not taken.
TEST_P(StopSweep, LeavesWholeRecordsOrChunks) {
  const bool fixed = GetParam();
  Custom(fixed ? "1000" : "100000", fixed);
  job.LowText = fixed ? "0" : "200";  // a narrow range yields once per byte looked at
  const std::string path = dir.File(fixed ? "Byte_1000.dat" : "Byte_100000.dat");
  std::int64_t k = 1;
  for (bool stopped = true; stopped; k += 1 + k / (fixed ? 100 : 30)) {
    SCOPED_TRACE(k);
    std::filesystem::remove(path);
    texts.clear();
    boxes.shown.clear();
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      if (n != k) return;
      PushButton1_Click();
      PushButton1_Click();
    };
    PushButton1_Click();
    stopped = pump.count >= k;  // a narrow range's yields vary: k may lie past the end
    EXPECT_EQ(LastOutcome(), stopped ? RunOutcome::Stopped : RunOutcome::Completed);
    const auto size = static_cast<ByteCount>(ReadFileBytes(path).size());
    const std::set<ByteCount> chunk_ends = {0, 61440, 94208, 98304, 100000};
    EXPECT_TRUE(fixed ? size % 80 == 0 || size == 1000 : chunk_ends.count(size) == 1) << size;
    if (fixed && !RunText().empty()) {
      EXPECT_EQ(RunText(), ProgressText(size, 1000));
    }
    EXPECT_EQ(caption, "Start Creating File");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
  }
  EXPECT_GT(k, 1000);
}
INSTANTIATE_TEST_SUITE_P(BothBuilders, StopSweep, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fixed" : "Continuous"; });

enum Event { Negative, LowTooBig, ZeroLength, Plain, FolderGone, NoByteValue };
struct EventRow {
  bool fixed;
  Event event;
  Fault fault;
  std::string message;  // found in the one box before "Done." ("" no box)
  std::size_t kept;     // bytes in the file afterwards
  RunOutcome outcome = RunOutcome::Failed;
};
const char* const kEvents[] = {"Negative", "LowTooBig",  "ZeroLength",
                               "Plain",    "FolderGone", "NoByteValue"};
const char* const kFaults[] = {"", "Create", "Open", "Write", "NoSpace"};
void PrintTo(const EventRow& row, std::ostream* os) {
  *os << (row.fixed ? "fixed, " : "continuous, ") << kEvents[row.event] << kFaults[int(row.fault)]
      << ": " << ::testing::PrintToString(row.message);
}
class EventRun : public EngineTest, public ::testing::WithParamInterface<EventRow> {};

// A negative length or a Low beyond 16 bits touches no file, a zero length
// empties "Empty.dat" without a progress text; a failure ends the run through
// StopFlag with its message and the file keeps the whole records or chunks
// written before; a Stop click while the folder box names no folder shows the
// folder message and the run goes on; with a range of no byte value the
// fixed-length builder keeps drawing until Stop. "Done." follows in every case.
TEST_P(EventRun, ShowsItsMessageThenDone) {
  const EventRow& row = GetParam();
  Inject(row.fault);
  Custom(row.event == Negative ? "-5" : row.event == ZeroLength ? " 0 " : "200000", row.fixed);
  job.LowText = row.event == NoByteValue ? "300" : row.event == LowTooBig ? "70000" : "0";
  WriteFileBytes(dir.File("Empty.dat"), "old");
  const std::string folder = job.OutputFolder, path = dir.File("Byte_200000.dat");
  ScriptedPump pump;
  pump.on_pump = [&](std::int64_t n) {
    if (n != (row.event == FolderGone ? 300 : 300000)) return;  // a run that goes on is stopped
    if (row.event == FolderGone) job.OutputFolder = "/no/such/folder";
    PushButton1_Click();
    job.OutputFolder = folder;
  };
  PushButton1_Click();

  const auto shown = boxes.Texts();
  ASSERT_EQ(shown.size(), row.message.empty() ? 1u : 2u);
  EXPECT_NE(shown[0].find(row.message), std::string::npos) << shown[0];
  EXPECT_EQ(boxes.shown[0].title, AppTitle());
  EXPECT_EQ(shown.back(), "Done.");
  EXPECT_EQ(ReadFileBytes(path).size(), row.kept);
  const auto files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
  EXPECT_EQ(files, row.event > ZeroLength && row.fault != Fault::Create ? 2 : 1);
  EXPECT_EQ(ReadFileBytes(dir.File("Empty.dat")), row.event == ZeroLength ? "" : "old");
  if (row.fixed) {
    EXPECT_EQ(RunText(), row.event <= ZeroLength ? "" : ProgressText(row.kept, 200000));
  }
  EXPECT_EQ(LastOutcome(), row.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventRun,
    ::testing::Values(
        EventRow{true, Negative, Fault::None, LengthNegativeMessage("-5"), 0},
        EventRow{true, LowTooBig, Fault::None, ByteValueOutOfRangeMessage("Low", "70000"), 0},
        EventRow{true, ZeroLength, Fault::None, "", 0, RunOutcome::Completed},
        EventRow{true, Plain, Fault::Create, "could not be created or emptied", 0},
        EventRow{true, Plain, Fault::Open, "could not be opened for writing.", 0},
        EventRow{false, Plain, Fault::Write, "Failed to write to file.", 122880},
        EventRow{true, Plain, Fault::NoSpace, "Failed to write to file.", 160},
        EventRow{true, FolderGone, Fault::None, std::string(kFolderMissingMessage), 200000,
                 RunOutcome::Completed},
        EventRow{true, NoByteValue, Fault::None, "", 0, RunOutcome::Stopped},
        EventRow{false, NoByteValue, Fault::None, "The minimum range value must be a positive", 0}),
    [](const auto& info) {
      const EventRow& row = info.param;
      return std::string(kEvents[row.event]) + kFaults[int(row.fault)] +
             (row.fixed ? "Fixed" : "Continuous");
    });

// A failing statement of the click or of CalcProgress shows the error box
// naming its procedure and line, and the procedure goes on with the next.
TEST_F(EngineTest, ErrorBoxNamesTheLineAndTheRunGoesOn) {
  bar_broken = true;
  PushButton1_Click();
  const auto shown = boxes.Texts();
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown.front(), ErrorBoxText("bar broken", "FileCreator", "CalcProgress", 30));
  EXPECT_EQ(shown.end()[-2], ErrorBoxText("bar broken", "Form1", "PushButton1_Click", 110));
  EXPECT_EQ(shown.back(), "Done.");
  EXPECT_EQ(texts.back(), "Progress Bar");  // the statement after the failing one
  EXPECT_EQ(ReadFileBytes(dir.File("KB_1.dat")).size(), 1024u);
}

}  // namespace
}  // namespace torvane::testing
