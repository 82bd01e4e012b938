// One run from the click to "Done.": the file's name and size, the progress
// display, what both builders write, and how failures end a run.

#include <cmath>
#include <map>

#include "engine/messages.h"
#include "engine/run_state.h"
#include "tests/engine/engine_fakes.h"
#include "tests/support/fake_crypto.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;
namespace fs = std::filesystem;

// A preset (no length; `unit` is the row) or a typed length and unit, read
// with a decimal comma when it has a comma: the name and the size, or the
// message of a refused job ("" any message). Each preset is named for its
// count of kilo- or megabytes, ascending within its unit; the floppies' two
// sizes are the exceptions, exact.
TEST(Target, NameAndSize) {
  const std::tuple<const char*, int, std::string> rows[] = {
      {" 10 ", 2, "MB_10 10485760"},
      {"1.5", 1, "KB_1.5 1536"},
      {"1,5", 1, "KB_1,5 1536"},
      // Fractional bytes: the nearest whole byte, a half up.
      {"2.5", 0, "Byte_2.5 3"},
      {"0.3", 3, "GB_0.3 322122547"},
      // A zero size, however typed, is the empty file whatever the unit.
      {"0", 3, "Empty 0"},
      {"", 1, "Empty 0"},
      {"0.4", 0, "Empty 0"},
      // Refused before any file is touched.
      {nullptr, 22, "MB_144 1457664"},
      {nullptr, 23, "KB_720 730112"},
      {nullptr, -1, PresetOutOfRangeMessage(-1)},
      {nullptr, 24, ""},
      {"-5", 1, LengthNegativeMessage("-5")},
      {"abc", 0, LengthNotANumberMessage("abc")},
      {"1e3", 0, ""},
      {"1", 5, UnitOutOfRangeMessage(5)},
      {"2", 4, "TB_2 2199023255552"},
      {"0", -1, ""},
      {"930000000000000", 0, LengthTooLargeMessage("930000000000000")},
      {"900000000000000", 2, ""},
      {"900000000000", 3, ""}};
  for (const auto& [length, unit, expect] : rows) {
    JobSettings job;
    job.UsePresetSize = length == nullptr;
    job.PresetIndex = job.CustomUnit = unit;
    job.CustomLength = length != nullptr ? length : "";
    SetUserNumberLocale({job.CustomLength.find(',') != std::string::npos ? "," : ".", ","});
    const Result<JobTarget> t = ResolveTarget(job);
    SetUserNumberLocale({});
    const std::string refusal = expect.empty() ? "" : t.error();
    EXPECT_EQ(t ? t->name + " " + std::to_string(t->size) : refusal, expect) << job.CustomLength;
  }
  const std::map<std::string, ByteCount> units = {{"KB_", 1024}, {"MB_", 1048576}};
  std::map<std::string, ByteCount> last;
  for (const Preset& preset : Presets()) {
    const std::string name = preset.name, unit = name.substr(0, 3);
    if (name == "MB_144" || name == "KB_720") continue;  // the floppies: rows above
    EXPECT_EQ(std::stoll(name.substr(3)) * units.at(unit), preset.bytes) << name;
    EXPECT_GT(preset.bytes, last[unit]) << preset.name;
    last[unit] = preset.bytes;
  }
}

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

enum Event { Negative, LowTooBig, ZeroLength, Plain, FolderGone, NoByteValue, Replaced, Grown };
struct EventRow {
  bool fixed;
  Event event;
  Fault fault;
  std::string message;  // found in the one box before "Done." ("" no box)
  std::size_t kept;     // bytes in the file afterwards
  RunOptions options = {};
  RunOutcome outcome = RunOutcome::Failed;
};

// A negative length or a Low beyond 16 bits touches no file, a zero length
// empties "Empty.dat" without a progress text; a failure (a file layer that
// throws too) ends the run through StopFlag with its message and the file
// keeps the whole records or chunks written before; a Stop click while the
// folder box names no folder shows the folder message and the run goes on;
// with a range of no byte value the fixed-length builder keeps drawing until
// Stop; another file put at the name, or the file grown, while the run writes
// fails the run at its end. A generator that fails at its third draw ends
// the run with the whole writes before it, on two threads as on one (out of
// memory on the maker thread, with its box); a checksum that cannot be had
// (no hash, a hashing step or the digest failing) fails the run and leaves
// no sidecar. "Done." follows in every
// case, and the provider's handles are given back.
TEST(Events, ShowTheirMessageThenDone) {
  // One thread or two, gathering the writes; a checksum.
  const RunOptions one = {.sync = SyncMode::End}, two = {.sync = SyncMode::End, .overlap = true},
                   sum = {.checksum = true};
  const EventRow rows[] = {
      {true, Negative, Fault::None, LengthNegativeMessage("-5"), 0},
      {true, LowTooBig, Fault::None, ByteValueOutOfRangeMessage("Low", "70000"), 0},
      {true, ZeroLength, Fault::None, "", 0, {}, RunOutcome::Completed},
      {true, Plain, Fault::Create, "could not be created or emptied", 0},
      {true, Plain, Fault::Open, "could not be opened for writing.", 0},
      {false, Plain, Fault::Write, "Failed to write to file.", 122880},
      {false, Plain, Fault::Throw, "the file layer broke", 122880},
      {true, Plain, Fault::NoSpace, "Failed to write to file.", 160},
      {true, FolderGone, Fault::None, "Folder does not exist.", 200000, {}, RunOutcome::Completed},
      {true, NoByteValue, Fault::None, "", 0, {}, RunOutcome::Stopped},
      {false, NoByteValue, Fault::None, "The minimum range value must be a positive", 0},
      {false, Replaced, Fault::None, "was removed or replaced during the run.", 5},
      {false, Grown, Fault::None, "holds 10,000,000 bytes, not the 200,000 written", 10000000},
      {true, Plain, Fault::Draw, "", 61440, one},
      {true, Plain, Fault::Draw, "", 61440, two},
      {false, Plain, Fault::Draw, "", 122880, one},
      {false, Plain, Fault::Draw, "", 122880, two},
      {false, Plain, Fault::Oom, "Out of memory", 122880, two},  // on the maker thread
      {true, Plain, Fault::NoHash, "checksum could not be computed", 0, sum},
      {true, Plain, Fault::Hashing, "checksum could not be computed", 80, sum},
      {false, Plain, Fault::Digest, "checksum could not be computed", 200000, sum}};
  for (const EventRow& row : rows) {
    SCOPED_TRACE(&row - rows);
    Window w;
    w.Inject(row.fault);
    FakeCryptoProvider crypto;
    crypto.first_row = row.fault == Fault::NoHash ? 5 : 1;
    crypto.failing_step = row.fault == Fault::Hashing ? 1 : row.fault == Fault::Digest ? 2 : 0;
    crypto.failing_algid = kAlgSha256;  // the random data's own digests work
    crypto.failing_draw = row.fault == Fault::Draw ? 3 : 0;
    if (row.fault == Fault::Oom) {
      crypto.fill = [&crypto](auto) {
        if (crypto.generated == 3) throw std::bad_alloc();
      };
    }
    SetRunOptions(row.options);
    w.Custom(row.event == Negative ? "-5" : row.event == ZeroLength ? " 0 " : "200000", row.fixed);
    w.job.LowText = row.event == NoByteValue ? "300" : row.event == LowTooBig ? "70000" : "0";
    WriteFileBytes(w.dir.File("Empty.dat"), "old");
    const std::string folder = w.job.OutputFolder, path = w.dir.File("Byte_200000.dat");
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      // Windows renames nothing over an open file: it is moved away first.
      if (n == 20 && row.event == Replaced) fs::rename(PathFromUtf8(path), w.dir.path() / "moved");
      if (n == 20 && row.event == Replaced) WriteFileBytes(path, "other");
      if (n == 20 && row.event == Grown) fs::resize_file(PathFromUtf8(path), 10000000);
      if (n != (row.event == FolderGone ? 300 : 300000)) return;  // a run that goes on is stopped
      if (row.event == FolderGone) w.job.OutputFolder = "/no/such/folder";
      PushButton1_Click();
      w.job.OutputFolder = folder;
    };
    PushButton1_Click();

    const auto shown = w.boxes.Texts();
    ASSERT_EQ(shown.size(), row.message.empty() ? 1u : 2u);
    EXPECT_NE(shown[0].find(row.message), std::string::npos) << shown[0];
    EXPECT_EQ(w.boxes.shown[0].title, AppTitle());
    EXPECT_EQ(shown.back(), "Done.");
    EXPECT_EQ(ReadFileBytes(path).size(), row.kept);
    const auto files = std::distance(fs::directory_iterator(w.dir.path()), {});
    EXPECT_EQ(files, (row.event > ZeroLength && row.fault != Fault::Create ? 2 : 1) +
                         (row.event == Replaced));
    EXPECT_EQ(ReadFileBytes(w.dir.File("Empty.dat")), row.event == ZeroLength ? "" : "old");
    if (row.fixed) {
      EXPECT_EQ(w.RunText(), row.event <= ZeroLength ? "" : w.ProgressText(row.kept, 200000));
    }
    EXPECT_EQ(LastOutcome(), row.outcome);
    if (row.event == Plain && row.fault != Fault::Create) {
      EXPECT_EQ(BytesKept(), ByteCount(row.kept));
    }
    EXPECT_EQ(crypto.released, crypto.acquired);
  }
}

}  // namespace
}  // namespace torvane::testing
