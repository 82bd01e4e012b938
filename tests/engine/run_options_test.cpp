// What a front end may ask beyond the window's job: how the bytes reach the
// disk, seeded content, reading a file back, the checksum beside the file,
// and zero, sparse and compressible content.

#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

#include "engine/messages.h"
#include "tests/engine/engine_fakes.h"
#include "tests/engine/system_file_facts.h"
#include "tests/random/seeded_stream.h"
#include "tests/support/fake_crypto.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;
using Sizes = std::vector<std::size_t>;
using enum CaseConversion;
using enum SyncMode;
using enum ContentKind;

// The options outlive a run: the window's own come back after each test.
class OptionsTest : public EngineTest {
 protected:
  ~OptionsTest() override { SetRunOptions({}); }
  // One run, its content from a fresh stream of `seed` when there is one.
  std::string Run(const RunOptions& options, const char* seed = nullptr) {
    SetRunOptions(options);
    std::optional<Seeded> seeded;
    if (seed != nullptr) seeded.emplace(seed);
    PushButton1_Click();
    return ReadFileBytes(JobFilePath());
  }
};

struct SyncRow {
  const char* name;
  SyncMode sync;
  bool fixed;
  ContentKind content;
  const char* bytes;
  Sizes writes;
  int syncs, slips;  // slips: writes left unsynced before the next, syncs of nothing new
};
std::ostream& operator<<(std::ostream& out, const SyncRow& row) { return out << row.name; }
class Sync : public OptionsTest, public ::testing::WithParamInterface<SyncRow> {};

// Each mode's writes and syncs, gathered records filling writes of at most
// 61,440 bytes; the file is as exact as the window's, and reading it back
// under the same options finds it so without writing.
TEST_P(Sync, WritesAndSyncsOfEachMode) {
  const SyncRow& row = GetParam();
  Custom(row.bytes, row.fixed);
  Run({.sync = row.sync, .content = row.content});
  EXPECT_EQ(layer.writes, row.writes);
  EXPECT_EQ(layer.gaps, 0);
  EXPECT_EQ(std::pair(layer.syncs, layer.sync_slips), std::pair(row.syncs, row.slips));
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
  EXPECT_EQ(ReadFileBytes(JobFilePath()).size(), std::stoul(row.bytes));
  EXPECT_EQ(BytesKept(), std::stoll(row.bytes));

  const auto verify = row.content == Random ? VerifyMode::Rules : VerifyMode::Exact;
  Run({.sync = row.sync, .content = row.content, .verify = verify});
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Done.", "Done."}));
  EXPECT_EQ(layer.writes, row.writes);
}

const Sizes kChunks = {61440, 32768, 4096, 1696};
const Sizes kGathered = {61440, 61440, 61440, 15680};
INSTANTIATE_TEST_SUITE_P(
    Modes, Sync,
    ::testing::Values(SyncRow{"RecordFixed", Record, true, Random, "250", {80, 80, 80, 10}, 4, 0},
                      SyncRow{"ChunkFixed", Chunk, true, Random, "200000", kGathered, 4, 0},
                      SyncRow{"EndFixed", End, true, Random, "200000", kGathered, 1, 3},
                      SyncRow{"ChunkFixedLoneByte", Chunk, true, Random, "161", {161}, 1, 0},
                      SyncRow{"ChunkContinuous", Chunk, false, Random, "100000", kChunks, 4, 0},
                      SyncRow{"EndContinuous", End, false, Random, "100000", kChunks, 1, 3},
                      SyncRow{"EndZerosFixed", End, true, Zeros, "100000", kChunks, 1, 3},
                      SyncRow{"RecordSparse", Record, false, Sparse, "100000", {}, 1, 1},
                      SyncRow{"EndSparse", End, false, Sparse, "100000", {}, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

class GatheredStop : public OptionsTest, public ::testing::WithParamInterface<SyncMode> {};

// A Stop at the k-th yield keeps only the gathered writes made before it,
// and leaves no checksum beside them.
TEST_P(GatheredStop, KeepsWholeWritesAndTheirChecksum) {
  Custom("130000");
  const std::string path = dir.File("Byte_130000.dat");
  const std::set<std::size_t> ends = {0, 61440, 122880, 130000};
  std::int64_t k = 1;
  for (bool stopped = true; stopped; k += 2999) {
    SCOPED_TRACE(k);
    std::filesystem::remove(path);
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      if (n == k) RequestStop();
    };
    const std::string file = Run({.sync = GetParam(), .checksum = true});
    stopped = pump.count >= k;
    EXPECT_EQ(LastOutcome(), stopped ? RunOutcome::Stopped : RunOutcome::Completed);
    if (!std::filesystem::exists(path)) continue;  // stopped before the file was opened
    EXPECT_EQ(ends.count(file.size()), 1u) << file.size();
    EXPECT_EQ(BytesKept(), static_cast<ByteCount>(file.size()));
    if (stopped)  // a checksum of part of the file would pass a check
      EXPECT_FALSE(std::filesystem::exists(path + ".sha256"));
    else
      EXPECT_EQ(ReadFileBytes(path + ".sha256"), SystemSha256(path) + "  Byte_130000.dat\n");
  }
  EXPECT_GT(k, 200000);
}
INSTANTIATE_TEST_SUITE_P(Gathering, GatheredStop, ::testing::Values(Chunk, End),
                         [](const auto& info) { return info.param == Chunk ? "Chunk" : "End"; });

// The same seed makes the same file whatever the sync mode, another seed
// another file; the full range continuous is the keystream itself.
TEST_F(OptionsTest, SameSeedSameFile) {
  const std::tuple<bool, bool, CaseConversion, const char*, const char*, const char*> rows[] = {
      {true, true, None, "0", "255", "64000"},
      {true, false, Lower, "65", "90", "2000"},
      {false, false, None, "48", "57", "100000"},
      {false, false, None, "0", "255", "100000"}};
  for (const auto& [fixed, hex, letters, low, high, bytes] : rows) {
    SCOPED_TRACE(std::string(bytes) + (fixed ? " fixed " : " continuous ") + low + ".." + high);
    Custom(bytes, fixed);
    std::tie(job.HexPairs, job.Case, job.LowText, job.HighText) =
        std::tuple(hex, letters, low, high);
    const std::string made = Run({.sync = Record}, "torvane");
    ASSERT_EQ(made.size(), std::stoul(bytes));
    EXPECT_TRUE(made == Run({.sync = End}, "torvane"));
    EXPECT_FALSE(made == Run({.sync = Chunk}, "torvanf"));
    if (fixed || std::string(low) != "0") continue;
    const Bytes stream = FromHex(kTorvaneStream);
    EXPECT_EQ(made.substr(0, stream.size()), std::string(stream.begin(), stream.end()));
    const Bytes full = Keystream(kTorvaneKey, std::string(24, '0'), 0, made.size());
    EXPECT_TRUE(made == std::string(full.begin(), full.end()));
  }
}

enum class Tamper { Intact, Flip, Cut, Grow };
using enum Tamper;
struct VerifyRow {
  const char* name;
  bool fixed;
  const char *bytes, *low;
  bool seeded;  // without a seed only the layout can be checked
  ContentKind content;
  Tamper tamper;
  std::size_t at = 0;  // the byte flipped
};
std::ostream& operator<<(std::ostream& out, const VerifyRow& row) { return out << row.name; }
class Verify : public OptionsTest, public ::testing::WithParamInterface<VerifyRow> {};

// Reading back finds the file as made, or names the first byte that is not
// (a difference, or one its layout forbids) or the size; the file keeps its
// bytes and its time, and nothing is written.
TEST_P(Verify, FindsTheFileAsMadeOrWhereItIsNot) {
  const VerifyRow& row = GetParam();
  Custom(row.bytes, row.fixed);
  job.LowText = row.low;
  const char* seed = row.seeded ? "torvane" : nullptr;
  std::string file = Run({.content = row.content}, seed);
  const std::string path = JobFilePath();
  const auto total = static_cast<long long>(file.size());
  // A control byte: outside the range of every row and no line end.
  if (row.tamper == Flip) file[row.at] = file[row.at] == '\1' ? '\2' : '\1';
  if (row.tamper == Cut) file.pop_back();
  if (row.tamper == Grow) file.push_back('\0');
  WriteFileBytes(path, file);
  const auto past = std::filesystem::last_write_time(PathFromUtf8(path)) - std::chrono::hours(9999);
  std::filesystem::last_write_time(PathFromUtf8(path), past);
  const bool exact = row.seeded || row.content != Random;
  layer.writes.clear();
  layer.syncs = 0;
  boxes.shown.clear();
  Run({.content = row.content, .verify = exact ? VerifyMode::Exact : VerifyMode::Rules}, seed);

  const auto size = static_cast<long long>(file.size());
  const std::string message = row.tamper == Intact ? ""
                              : row.tamper != Flip ? SizeDiffersMessage(path, size, total)
                              : exact              ? DiffersMessage(path, row.at)
                                                   : LayoutBrokenMessage(path, row.at);
  EXPECT_EQ(boxes.Texts().front(), message.empty() ? "Done." : message);
  EXPECT_EQ(LastOutcome(), message.empty() ? RunOutcome::Completed : RunOutcome::Failed);
  EXPECT_TRUE(ReadFileBytes(path) == file);
  EXPECT_EQ(std::filesystem::last_write_time(PathFromUtf8(path)), past);
  EXPECT_EQ(std::pair(layer.writes.size(), layer.syncs), std::pair(std::size_t{0}, 0));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

using V = VerifyRow;
INSTANTIATE_TEST_SUITE_P(
    Files, Verify,
    ::testing::Values(V{"SeededFixed", true, "1000", "0", true, Random, Intact},
                      V{"SeededFixedFlipped", true, "1000", "0", true, Random, Flip, 500},
                      V{"SeededContinuousFlipped", false, "100000", "0", true, Random, Flip, 70000},
                      V{"SeededContinuousCut", false, "100000", "0", true, Random, Cut},
                      V{"SeededFixedGrown", true, "1000", "0", true, Random, Grow},
                      V{"RulesLineEndFlipped", true, "1000", "0", false, Random, Flip, 158},
                      V{"RulesLastRecordOnlyALineEnd", true, "162", "0", false, Random, Intact},
                      V{"RulesHexFlipped", true, "1000", "0", false, Random, Flip, 990},
                      V{"RulesFixedCut", true, "1000", "0", false, Random, Cut},
                      V{"RulesRangeFlipped", false, "100000", "48", false, Random, Flip, 99999},
                      V{"RulesRangeGrown", false, "100000", "48", false, Random, Grow},
                      V{"ZerosFlipped", false, "100000", "0", false, Zeros, Flip, 61440},
                      V{"SparseCut", false, "100000", "0", false, Sparse, Cut}),
    [](const auto& info) { return std::string(info.param.name); });

// The checksum beside each kind of finished file, the empty one too, is that
// of its bytes and replaces one left by an earlier run; a file that ends
// early (a Stop while a sparse file's zeros are hashed, a disk that fills
// at the checksum itself) keeps no checksum at all, nor a part of one.
TEST_F(OptionsTest, ChecksumDescribesTheFinishedFile) {
  const std::tuple<bool, const char*, ContentKind, SyncMode, int, Fault> rows[] = {
      {true, "1000", Random, Record, 0, Fault::None},
      {false, "100000", Random, End, 0, Fault::None},
      {false, "100000", Zeros, Chunk, 0, Fault::None},
      {false, "1048576", Sparse, Record, 0, Fault::None},
      {true, "0", Random, Record, 0, Fault::None},
      {false, "1048576", Sparse, End, 12, Fault::None},
      {true, "160", Random, Record, 0, Fault::NoSpace}};  // two writes, then the sidecar's
  for (const auto& [fixed, bytes, content, sync, stop_at, fault] : rows) {
    Custom(bytes, fixed);
    const std::string name =
        bytes == std::string("0") ? "Empty.dat" : std::string("Byte_") + bytes + ".dat";
    const std::string path = dir.File(name);
    SCOPED_TRACE(name + " content " + std::to_string(int(content)));
    WriteFileBytes(path + ".sha256", "stale  " + name + "\n");
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      if (n == stop_at) RequestStop();
    };
    Inject(fault);
    layer.writes.clear();
    const std::string file = Run({.sync = sync, .content = content, .checksum = true});
    const RunOutcome outcome = stop_at > 0            ? RunOutcome::Stopped
                               : fault != Fault::None ? RunOutcome::Failed
                                                      : RunOutcome::Completed;
    EXPECT_EQ(LastOutcome(), outcome);
    EXPECT_EQ(file.size(), stop_at > 0 ? 6 * 61440 : std::stoul(bytes));  // six chunks hashed
    EXPECT_EQ(BytesKept(), static_cast<ByteCount>(file.size()));
    if (outcome == RunOutcome::Completed) {
      EXPECT_EQ(ReadFileBytes(path + ".sha256"), SystemSha256(path) + "  " + name + "\n");
      EXPECT_FALSE(layer.unsynced()) << "the sidecar is synced too";
    } else
      for (const char* sidecar : {".sha256", ".sha256.part"})
        EXPECT_FALSE(std::filesystem::exists(path + sidecar)) << sidecar;
  }
}

// The front end's stream as a test holds it: every byte, each write's size,
// and the reader going away (or the stream failing) at the k-th write.
struct RecordingSink : ByteSink {
  Result Write(std::span<const std::uint8_t> data) override {
    if (++calls == end_at) return end;
    bytes.append(data.begin(), data.end());
    sizes.push_back(data.size());
    return Result::Written;
  }
  std::string bytes;
  Sizes sizes;
  int calls = 0, end_at = 0;
  Result end = Result::Closed;
};

// A stream carries the bytes the file would hold, in chunks, and no file is
// made; a reader that goes away stops the run, a failing stream fails it. A
// name given whole is the file's; one byte value fills every position.
TEST_F(OptionsTest, StreamsNamesAndSingleValues) {
  for (const bool fixed : {true, false}) {
    Custom("130000", fixed);
    const std::string file = Run({.sync = End}, "torvane");
    std::filesystem::remove(JobFilePath());
    for (const auto& [end_at, end, outcome] :
         {std::tuple(0, ByteSink::Result::Closed, RunOutcome::Completed),
          std::tuple(2, ByteSink::Result::Closed, RunOutcome::Stopped),
          std::tuple(2, ByteSink::Result::Failed, RunOutcome::Failed)}) {
      RecordingSink sink;
      std::tie(sink.end_at, sink.end) = std::tie(end_at, end);
      Run({.sink = &sink}, "torvane");
      EXPECT_EQ(LastOutcome(), outcome) << fixed << end_at;
      const Sizes whole = fixed ? Sizes{61440, 61440, 7120} : Sizes{61440, 61440, 4096, 3024};
      EXPECT_EQ(sink.sizes, end_at == 0 ? whole : Sizes{61440}) << fixed << end_at;
      EXPECT_TRUE(sink.bytes == file.substr(0, sink.bytes.size())) << fixed << end_at;
      EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
  }
  EXPECT_EQ(boxes.Texts().rbegin()[1], kStreamFailedMessage);

  Custom("100000", false);
  const std::string named = Run({.content = Constant, .constant = 'Z', .file_name = "a.bin"});
  EXPECT_EQ(JobFilePath(), dir.File("a.bin"));
  EXPECT_EQ(named, std::string(100000, 'Z'));
  Run({.content = Constant, .verify = VerifyMode::Exact, .constant = 'Y', .file_name = "a.bin"});
  EXPECT_EQ(boxes.Texts().rbegin()[1], DiffersMessage(dir.File("a.bin"), 0));
}

// A checksum that cannot be had (no hash, a hashing step or the digest
// failing) fails the run with its reason and leaves no sidecar; the
// provider's handle is given back whatever happens.
TEST_F(OptionsTest, AFailingChecksumFailsTheRun) {
  Custom("1000");
  for (const auto& [first_row, failing_step] : {std::pair(5, 0), {1, 1}, {1, 2}}) {
    FakeCryptoProvider crypto;
    std::tie(crypto.first_row, crypto.failing_step) = std::tie(first_row, failing_step);
    crypto.failing_algid = kAlgSha256;  // the random data's own digests work
    boxes.shown.clear();
    Run({.checksum = true});
    EXPECT_EQ(LastOutcome(), RunOutcome::Failed) << failing_step;
    EXPECT_EQ(boxes.Texts().front(), kChecksumFailedMessage) << failing_step;
    EXPECT_FALSE(std::filesystem::exists(JobFilePath() + ".sha256"));
    EXPECT_EQ(crypto.released, crypto.acquired);
  }
}

// Beyond 4 GiB a sparse file has its exact size while holding almost no
// blocks (smaller sparse files are verified as zeros above: reading 5 GiB
// back would only slow the suite).
TEST_F(OptionsTest, SparseBeyond4GiB) {
  Custom("5368709120", false);
  SetRunOptions({.sync = End, .content = Sparse});  // never read into memory
  PushButton1_Click();
  EXPECT_EQ(std::filesystem::file_size(PathFromUtf8(JobFilePath())), 5368709120u);
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
  const std::int64_t held = AllocatedBytes(JobFilePath());
  if (held < 0) GTEST_SKIP() << "the system (wine) does not tell the bytes a file holds on disk";
  EXPECT_LT(held, 1 << 20);
}

// The zero tail of each chunk is the share asked for, and the layout rules
// still hold.
TEST_F(OptionsTest, CompressibleTailPerChunk) {
  Custom("100000", false);
  job.LowText = "48";
  job.HighText = "57";
  for (int percent : {0, 20, 55, 100}) {
    layer.writes.clear();
    const std::string file = Run({.compressible = percent});
    ASSERT_EQ(layer.writes, kChunks);
    std::size_t at = 0;
    for (std::size_t chunk : layer.writes) {
      const std::string part = file.substr(at, chunk);
      const std::size_t last = part.find_last_not_of('\0');
      const std::size_t plain = last == std::string::npos ? chunk : chunk - 1 - last;
      EXPECT_NEAR(100.0 * plain / chunk, percent, 5) << percent << "% at " << at;
      at += chunk;
    }
    Run({.compressible = percent, .verify = VerifyMode::Rules});
    EXPECT_EQ(LastOutcome(), RunOutcome::Completed) << percent;
  }
}

// A seeded stream whose k-th draw fails (0: none).
struct FailingDraw : PlainHandleProvider {
  bool GenRandom(ProviderHandle handle, std::string_view input,
                 std::span<std::uint8_t> out) override {
    return ++draws != fail_at && seeded.GenRandom(handle, input, out);
  }
  std::unique_ptr<HashObject> CreateHash(ProviderHandle handle, std::uint32_t algid) override {
    return seeded.CreateHash(handle, algid);
  }
  SeededCryptoProvider seeded{"torvane"};
  int draws = 0, fail_at = 0;
  ScopedServices scope{[this](Services& s) { s.crypto = this; }};
};

// What a run leaves: its bytes (file or stream), writes, syncs, end,
// boxes, the bytes it says it kept, and its checksum.
struct Made {
  std::string bytes;
  Sizes writes;
  int syncs;
  RunOutcome outcome;
  std::vector<std::string> boxes;
  ByteCount kept;
  std::string checksum;
  auto Rest() const { return std::tie(writes, syncs, outcome, boxes, kept, checksum); }
};

struct OverlapRow {
  const char* name;
  bool fixed, hex;
  CaseConversion letters;
  const char *low, *high, *bytes;
  RunOptions options;
  int fail_at = 0;
  bool stream = false;
};
std::ostream& operator<<(std::ostream& out, const OverlapRow& row) { return out << row.name; }
class Overlap : public OptionsTest, public ::testing::WithParamInterface<OverlapRow> {};

// Made on a second thread, a seeded run writes what the single-threaded
// one writes: the same bytes in the same writes and syncs, the same
// checksum, the same stream, the same end after a failing generator; and
// it reads its own file back as exact.
TEST_P(Overlap, WritesWhatOneThreadWrites) {
  const OverlapRow& row = GetParam();
  Custom(row.bytes, row.fixed);
  std::tie(job.HexPairs, job.Case, job.LowText, job.HighText) =
      std::tuple(row.hex, row.letters, row.low, row.high);
  auto make = [&](bool overlap) {
    layer.writes.clear();
    layer.syncs = 0;
    boxes.shown.clear();
    FailingDraw provider;
    provider.fail_at = row.fail_at;
    RecordingSink sink;
    RunOptions options = row.options;
    options.overlap = overlap;
    if (row.stream) options.sink = &sink;
    SetRunOptions(options);
    PushButton1_Click();
    return Made{ReadFileBytes(JobFilePath()) + sink.bytes,
                row.stream ? sink.sizes : layer.writes,
                layer.syncs,
                LastOutcome(),
                boxes.Texts(),
                BytesKept(),
                ReadFileBytes(JobFilePath() + ".sha256")};
  };
  const Made one = make(false), two = make(true);
  EXPECT_TRUE(one.bytes == two.bytes);
  EXPECT_EQ(one.Rest(), two.Rest());
  EXPECT_EQ(one.bytes.size(), row.fail_at ? one.kept : std::stoll(row.bytes));
  EXPECT_EQ(two.outcome, row.fail_at ? RunOutcome::Failed : RunOutcome::Completed);
  if (row.fail_at || row.stream) return;
  FailingDraw provider;
  Run({.sync = row.options.sync,
       .content = row.options.content,
       .compressible = row.options.compressible,
       .verify = VerifyMode::Exact,
       .constant = row.options.constant,
       .overlap = true});
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed) << boxes.Texts().front();
}

using O = OverlapRow;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Layouts, Overlap, ::testing::Values(
    O{"HexChunk", true, true, None, "0", "255", "200000", {.sync = Chunk}},
    O{"HexLowerLoneByte", true, true, Lower, "65", "90", "130001", {.sync = End}},
    O{"HexShort", true, true, None, "0", "255", "193", {.sync = End}},
    O{"BinaryUpperNarrow", true, false, Upper, "97", "99", "100000", {.sync = End}},
    O{"BinaryBeyondTheBytes", true, false, None, "-5", "300", "4999", {.sync = Chunk}},
    O{"HexChecksum", true, true, None, "0", "255", "70055", {.sync = End, .checksum = true}},
    O{"HexStream", true, true, None, "0", "255", "130000", {.sync = End}, 0, true},
    O{"HexFailing", true, true, None, "0", "255", "300000", {.sync = End}, 3},
    O{"ContinuousFull", false, true, None, "0", "255", "1000000", {.sync = End}},
    O{"ContinuousDigits", false, true, None, "48", "57", "100000", {.sync = Chunk}},
    O{"ContinuousPairRecordSync", false, true, None, "200", "201", "70000", {.sync = Record}},
    O{"Compressible", false, true, None, "0", "255", "150000", {.sync = End, .compressible = 40}},
    O{"Zeros", false, true, None, "0", "255", "100000", {.sync = End, .content = Zeros}},
    O{"Constant", false, true, None, "0", "255", "100000",
      {.sync = Chunk, .content = Constant, .constant = 'Q'}},
    O{"ContinuousStream", false, true, None, "48", "57", "130000", {.sync = End}, 0, true},
    O{"ContinuousFailing", false, true, None, "0", "255", "300000", {.sync = End}, 3}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

#ifdef __linux__
// The threads of this process once `expected` (a thread just joined may
// take a moment to leave the list), or after a second.
std::ptrdiff_t Threads(std::ptrdiff_t expected = 0) {
  std::ptrdiff_t count = 0;
  for (int wait = 0; wait < 100; ++wait) {
    count = std::distance(std::filesystem::directory_iterator("/proc/self/task"), {});
    if (count == expected || expected == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return count;
}
#endif

class OverlapStop : public OptionsTest, public ::testing::WithParamInterface<bool> {};

// A Stop at every yield of a two-threaded run in turn, until one completes:
// the file holds the first whole writes of the seeded file, nothing is
// written after the Stop, and the maker thread is gone with the run.
TEST_P(OverlapStop, KeepsWholeWritesAndJoinsTheMaker) {
  const bool fixed = GetParam();
  Custom("300000", fixed);
  const std::string whole = Run({.sync = End}, "torvane");
  std::set<std::size_t> ends = {0};
  for (std::size_t write : layer.writes) ends.insert(*ends.rbegin() + write);
#ifdef __linux__
  const auto threads = Threads();
#endif
  std::int64_t k = 1;
  const std::string path = JobFilePath();
  for (bool stopped = true; stopped; ++k) {
    SCOPED_TRACE(k);
    std::filesystem::remove(path);
    layer.writes.clear();
    std::size_t writes_at_stop = SIZE_MAX;
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t n) {
      if (n != k) return;
      writes_at_stop = layer.writes.size();
      RequestStop();
    };
    const std::string file = Run({.sync = End, .overlap = true}, "torvane");
    stopped = pump.count >= k;
    EXPECT_EQ(LastOutcome(), stopped ? RunOutcome::Stopped : RunOutcome::Completed);
#ifdef __linux__
    EXPECT_EQ(Threads(threads), threads);
#endif
    if (!std::filesystem::exists(path)) continue;  // stopped before the file was opened
    EXPECT_EQ(ends.count(file.size()), 1u) << file.size();
    EXPECT_TRUE(file == whole.substr(0, file.size()));
    EXPECT_EQ(BytesKept(), static_cast<ByteCount>(file.size()));
    if (stopped) {
      EXPECT_EQ(layer.writes.size(), writes_at_stop);
    }
  }
  EXPECT_GT(k, 10);
}
INSTANTIATE_TEST_SUITE_P(BothBuilders, OverlapStop, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fixed" : "Continuous"; });
}  // namespace
}  // namespace torvane::testing
