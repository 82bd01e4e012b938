// What both builders write, on one thread and on two, a Stop at any moment,
// reading a file back, the checksum beside the file, and streams.

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <set>

#include "common/text.h"
#include "engine/messages.h"
#include "tests/engine/engine_fakes.h"
#include "tests/support/fake_crypto.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;
namespace fs = std::filesystem;
using Sizes = std::vector<std::size_t>;
using enum CaseConversion;
using enum SyncMode;
using enum ContentKind;
constexpr auto Completed = RunOutcome::Completed, Stopped = RunOutcome::Stopped,
               Failed = RunOutcome::Failed;

// The line sha256sum writes for the file: the SHA-256 of its bytes from the
// system's digests (not the engine's running one), two blanks, its name.
std::string Sidecar(const std::string& path) {
  const auto hash = SystemCryptoProvider().CreateHash(1, kAlgSha256);
  const std::string bytes = ReadFileBytes(path);
  std::uint8_t digest[32];
  std::uint32_t length = 0;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_TRUE(hash->HashData({data, bytes.size()}) && hash->GetHashValue(digest, length));
  std::string line;
  for (std::uint8_t b : digest) line += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return line + "  " + Utf8Path(PathFromUtf8(path).filename()) + "\n";
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

struct SweepRow {
  bool fixed;
  const char *bytes, *low;
  RunOptions options;
  std::int64_t step, slow;            // k grows by step + k / slow
  std::int64_t most_after = 1 << 30;  // the yields a run may make after the Stop's
  bool stream = false;
};

// A Stop click at the k-th yield, for k spread over runs until one completes
// first: the file holds the first whole writes of the file an unstopped run
// makes, nothing is written after the Stop, and the Stop is taken at once;
// the caption is back, "Done." shows once, (fixed-length) the last progress text names the bytes
// on disk, and only a finished file has a checksum. A start clicked right
// after the Stop, while the run winds down, is not taken.
TEST(StopSweep, KeepsWholeWritesAndTakesTheStopAtOnce) {
  const SweepRow rows[] = {
      {true, "1000", "0", {}, 1, 100},
      {false, "100000", "200", {}, 1, 30},  // a narrow range yields once per byte looked at
      {true, "130000", "0", {.sync = Chunk, .checksum = true}, 2999, 1 << 30},
      {true, "130000", "0", {.sync = End, .checksum = true}, 2999, 1 << 30},
      {true, "300000", "0", {.sync = End, .overlap = true}, 1, 1 << 30},
      {false, "300000", "0", {.sync = End, .overlap = true}, 1, 1 << 30},
      {true, "130000", "0", {.sync = End}, 2999, 1 << 30, 1 << 30, true},
      {true, "300000", "0", {.sync = End, .overlap = true}, 1, 1 << 30, 1 << 30, true},
      {false, "200000", "0", {.sync = Chunk, .content = Zeros}, 1, 1 << 30, 4}};
  for (const SweepRow& row : rows) {
    SCOPED_TRACE(&row - rows);
    Window w;
    w.Custom(row.bytes, row.fixed);
    w.job.LowText = row.low;
    const std::string whole = w.RunJob(row.options, "torvane"), path = JobFilePath();
    std::set<std::size_t> ends = {0};
    for (std::size_t write : w.layer.writes) ends.insert(*ends.rbegin() + write);
    std::int64_t k = 1;
    for (bool stopped = true; stopped; k += row.step + k / row.slow) {
      SCOPED_TRACE(k);
      for (const char* end : {"", ".sha256"}) fs::remove(path + end);
      w.layer.writes.clear();
      w.texts.clear();
      w.boxes.shown.clear();
      RecordingSink sink;
      RunOptions options = row.options;
      if (row.stream) options.sink = &sink;
      const Sizes& writes = row.stream ? sink.sizes : w.layer.writes;
      std::size_t writes_at_stop = SIZE_MAX;
      ScriptedPump pump;
      pump.on_pump = [&](std::int64_t n) {
        if (n != k) return;
        writes_at_stop = writes.size();
        PushButton1_Click();
        PushButton1_Click();
      };
      const std::string file = w.RunJob(options, "torvane") + sink.bytes;
      stopped = pump.count >= k;  // a narrow range's yields vary: k may lie past the end
      EXPECT_EQ(LastOutcome(), stopped ? Stopped : Completed);
      EXPECT_EQ(ends.count(file.size()), 1u) << file.size();
      EXPECT_TRUE(file == whole.substr(0, file.size()));
      if (stopped) {
        EXPECT_EQ(writes.size(), writes_at_stop);
        EXPECT_LE(pump.count - k, row.most_after);
        EXPECT_FALSE(fs::exists(path + ".sha256"));  // it would pass a check of a part
      } else if (row.options.checksum) {
        EXPECT_EQ(ReadFileBytes(path + ".sha256"), Sidecar(path));
      }
      EXPECT_EQ(file.empty() ? 0 : BytesKept(), static_cast<ByteCount>(file.size()));
      if (row.fixed && !w.RunText().empty()) {
        EXPECT_EQ(w.RunText(), w.ProgressText(file.size(), std::stoll(row.bytes)));
      }
      EXPECT_EQ(w.caption, "Start Creating File");
      EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>{"Done."});
    }
    EXPECT_GT(k, 10);
  }
}

Sizes Repeat(std::size_t n, std::size_t size, Sizes tail = {}) {
  tail.insert(tail.begin(), n, size);
  return tail;
}

enum Mode { Hex, Binary, Continuous };
enum Tamper { Intact, Flip, Cut, Grow };
constexpr auto Exact = VerifyMode::Exact, Rules = VerifyMode::Rules;
struct ContentRow {
  const char* bytes;
  Mode mode;
  CaseConversion conversion;
  std::string alphabet;  // what content bytes may be ("": any)
  Sizes writes;
  const char *low = "0", *high = "255";
  struct {
    VerifyMode check = Exact;  // how the file is read back
    Tamper tamper = Intact;    // what is done to it before
    std::size_t at = 0;        // the byte flipped
  } read = {};
  RunOptions options = {};
  // The syncs (-1: one for each write), and the writes left unsynced before
  // the next or syncs of nothing new.
  int syncs = -1, slips = 0;
  std::size_t switch_at = SIZE_MAX;  // after this record: binary, lower case, only a-f
};
// Every byte value from `low` to `high`.
std::string Range(int low, int high) {
  std::string bytes;
  for (int b = low; b <= high; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}
const Sizes kGathered = {61440, 61440, 61440, 15680}, kChunks = {61440, 32768, 4096, 1696};
const Sizes k1K = Repeat(12, 80, {64});
constexpr const char *kHex = "0123456789ABCDEF", *kLowHex = "0123456789abcdef";

// The writes follow each other without gaps, each synced before the next (or,
// by the sync mode, gathered into writes of up to 61,440 bytes, or synced once
// at the end: zeros and sparse files too, made by the continuous builder),
// and leave exactly the size over an older, longer file, also with a
// separator at the end of the folder; records end in CR LF and show only
// their alphabet (Low and High go to the nearest whole number, a half to the
// even one), a compressible share of each chunk is a zero tail, and the full
// range continuous is the keystream itself. Hex pairs
// and case are read while the run goes on, so a switch changes the records
// from then on. Progress is shown at the start, once more while the clock
// stands still, and at the end. Made on a second thread, a run writes the
// same bytes in the same writes and syncs. Reading back (by the layout's
// rules, or made again from the seed) finds the file as made, or names the
// first byte that is not (a difference, or one its layout forbids) or the
// size; the file keeps its bytes and its time, and nothing is written.
TEST(Content, WritesItsSequenceAndOnlyItsAlphabet) {
  // clang-format off
  const ContentRow rows[] = {
      {"1024", Hex, None, kHex, k1K},
      {"162", Hex, None, kHex, Repeat(2, 80, {2}), "0", "255", {Rules}},
      {"161", Hex, None, kHex, Repeat(2, 80, {1}), "0", "255", {Rules, Cut}},
      {"1024", Hex, Lower, kLowHex, k1K, "0", "255", {Exact, Flip, 500}},
      {"1024", Binary, None, "ABCDEF", k1K, " 65\t", "70.5", {Exact, Grow}},
      {"1024", Binary, Lower, "abcdef", k1K, "65", "70", {Rules, Flip, 158}},  // a line end
      {"1024", Binary, Upper, "ABCDEF", k1K, "97", "102", {Rules, Flip, 990}},
      // Beyond ASCII, the letter pairs of Windows-1252: Ø/ø, þ/Þ, ÿ/Ÿ; × is none.
      {"1024", Binary, Lower, "\xD7\xF8", k1K, "215", "216"},
      {"1024", Binary, Upper, "\xDE\x9F", k1K, "254", "255"},
      {"100000", Binary, None, Range(1, 13), Repeat(1250, 80), "1", "13"},
      {"100000", Binary, None, Range(0, 254), Repeat(1250, 80), "-1", "254"},
      // The hex of 65..70 is 41..46: digits only until the switch.
      {"8000", Hex, None, "0123456789", Repeat(100, 80), "65", "70", {}, {}, -1, 0, 49},
      {"1024", Continuous, None, "", {1024}},
      {"65536", Continuous, None, "", {61440, 4096}, "0", "255", {Exact, Cut}},
      {"100000", Continuous, None, "0123456789", kChunks, "48", "57", {Exact, Flip, 70000}},
      {"70000", Continuous, None, "\310\311", {61440, 8192, 368}, "200", "201",
       {Rules, Flip, 69999}},
      {"10485760", Continuous, None, "", Repeat(170, 61440, {32768, 8192})},
      {"119784", Continuous, None, "", {61440, 49152, 8192, 1000}},
      {"20481", Continuous, None, "", {16384, 4096, 1}, "0", "255", {Rules, Grow}},
      {"200000", Hex, None, kHex, kGathered, "0", "255", {}, {.sync = Chunk}, 4},
      {"200000", Hex, None, kHex, kGathered, "0", "255", {}, {.sync = End}, 1, 3},
      {"161", Hex, None, kHex, {161}, "0", "255", {}, {.sync = Chunk}},
      {"193", Hex, None, kHex, {193}, "0", "255", {}, {.sync = End}},
      {"130001", Hex, Lower, kLowHex, {61440, 61440, 7121}, "65", "90", {}, {.sync = End}, 1, 2},
      {"100000", Binary, Upper, "ABC", {61440, 38560}, "97", "99", {}, {.sync = End}, 1, 1},
      {"4999", Binary, None, "", {4999}, "-5", "300", {}, {.sync = Chunk}},
      {"100000", Continuous, None, "", kChunks, "0", "255", {}, {.sync = End}, 1, 3},
      {"150000", Continuous, None, Range(48, 57) + '\0', {61440, 61440, 16384, 8192, 2544}, "48",
       "57", {Rules}, {.sync = End, .compressible = 40}, 1, 4},
      {"100000", Hex, None, "", kChunks, "0", "255", {Exact, Flip, 61440},
       {.sync = End, .content = Zeros}, 1, 3},
      {"100000", Continuous, None, "Q", kChunks, "0", "255", {},
       {.sync = Chunk, .content = Constant, .constant = 'Q'}},
      {"100000", Continuous, None, "", {}, "0", "255", {}, {.content = Sparse}, 1, 1},
      {"100000", Continuous, None, "", {}, "0", "255", {Exact, Cut},
       {.sync = End, .content = Sparse}, 1, 1}};
  // clang-format on
  for (const ContentRow& row : rows) {
    SCOPED_TRACE(&row - rows);
    Window w;
    const bool fixed = row.mode != Continuous;
    const ByteCount total = std::stoll(row.bytes);
    const std::string path = w.dir.File(std::string("Byte_") + row.bytes + ".dat");
    WriteFileBytes(path, std::string(9000, 'x'));
    w.Custom(row.bytes, fixed);
    if (row.mode == Binary) w.job.OutputFolder += kPathSeparator;
    std::tie(w.job.LowText, w.job.HighText, w.job.HexPairs, w.job.Case, w.switch_at) =
        std::tuple(row.low, row.high, row.mode == Hex, row.conversion, row.switch_at);
    FakeTicks ticks;
    const std::string file = w.RunJob(row.options, "torvane");

    EXPECT_EQ(w.layer.writes, row.writes);
    const int syncs = row.syncs < 0 ? int(row.writes.size()) : row.syncs;
    EXPECT_EQ(std::tuple(w.layer.gaps, w.layer.syncs, w.layer.sync_slips),
              std::tuple(0, syncs, row.slips));
    EXPECT_EQ(w.texts.size(), fixed || row.writes.size() > 1 ? 4u : 3u);
    EXPECT_EQ(w.RunText(), w.ProgressText(total, total));
    EXPECT_EQ(JobFilePath(), path);
    ASSERT_EQ(static_cast<ByteCount>(file.size()), total);
    if (row.alphabet.empty() && !fixed && row.options.content == Random) {
      const Bytes stream = Keystream(kTorvaneKey, std::string(24, '0'), 0, file.size());
      EXPECT_TRUE(file == std::string(stream.begin(), stream.end()));
    }
    const std::size_t record_length = fixed ? 80 : file.size();
    for (std::size_t at = 0; !row.alphabet.empty() && at < file.size(); at += record_length) {
      const std::string record = file.substr(at, record_length);
      // A 1-byte last record is one content byte, without a line end.
      const std::size_t content = !fixed || record.size() == 1 ? record.size() : record.size() - 2;
      EXPECT_EQ(record.substr(content), content == record.size() ? "" : "\r\n");
      const std::string alphabet = at / 80 > row.switch_at ? "abcdef" : row.alphabet;
      EXPECT_EQ(record.substr(0, content).find_first_not_of(alphabet), std::string::npos) << at;
    }
    for (std::size_t at = 0, i = 0; row.options.compressible && i < row.writes.size(); ++i) {
      const std::size_t last = file.substr(at, row.writes[i]).find_last_not_of('\0');
      EXPECT_NEAR(100.0 * (row.writes[i] - 1 - last) / row.writes[i], 40, 1) << "zero tail";
      at += row.writes[i];
    }
    if (row.switch_at != SIZE_MAX) continue;  // the second run would read the case anew
    w.layer.writes.clear();
    RunOptions two = row.options;
    two.overlap = true;
    EXPECT_TRUE(w.RunJob(two, "torvane") == file);
    EXPECT_EQ(w.layer.writes, row.writes);
    EXPECT_EQ(LastOutcome(), Completed);

    std::string tampered = file;
    const auto& [check, tamper, at] = row.read;
    if (tamper == Flip)
      tampered[at] = tampered[at] == '\0' ? '\1' : '\0';  // 0: only compressible content holds it
    if (tamper == Cut) tampered.pop_back();
    if (tamper == Grow) tampered.push_back('\0');
    WriteFileBytes(path, tampered);
    const auto past = fs::last_write_time(PathFromUtf8(path)) - std::chrono::hours(9999);
    fs::last_write_time(PathFromUtf8(path), past);
    const auto made = std::pair(w.layer.writes.size(), w.layer.syncs);
    w.boxes.shown.clear();
    std::tie(two.verify, two.overlap) = std::tuple(check, tamper == Intact);
    w.RunJob(two, "torvane");
    const auto size = static_cast<long long>(tampered.size());
    EXPECT_EQ(w.boxes.Texts().front(), tamper == Intact ? "Done."
                                       : tamper != Flip ? SizeDiffersMessage(path, size, total)
                                       : check == Exact ? DiffersMessage(path, at)
                                                        : LayoutBrokenMessage(path, at));
    EXPECT_EQ(LastOutcome(), tamper == Intact ? Completed : Failed);
    EXPECT_TRUE(ReadFileBytes(path) == tampered);
    EXPECT_EQ(fs::last_write_time(PathFromUtf8(path)), past);
    EXPECT_EQ(std::pair(w.layer.writes.size(), w.layer.syncs), made) << "nothing written";
    EXPECT_EQ(std::distance(fs::directory_iterator(w.dir.path()), {}), 1);
  }
}

// The checksum beside each kind of finished file, the empty one too, is that
// of its bytes and replaces one left by an earlier run; a file that ends
// early (a Stop while a sparse file's zeros are hashed, a disk that fills
// at the checksum itself) keeps no checksum at all, nor a part of one.
TEST_F(EngineTest, ChecksumDescribesTheFinishedFile) {
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
    const std::string file = RunJob({.sync = sync, .content = content, .checksum = true});
    const RunOutcome outcome = stop_at > 0 ? Stopped : fault != Fault::None ? Failed : Completed;
    EXPECT_EQ(LastOutcome(), outcome);
    EXPECT_EQ(file.size(), stop_at > 0 ? 6 * 61440 : std::stoul(bytes));  // six chunks hashed
    EXPECT_EQ(BytesKept(), static_cast<ByteCount>(file.size()));
    if (outcome == Completed) {
      EXPECT_EQ(ReadFileBytes(path + ".sha256"), Sidecar(path));
      EXPECT_FALSE(layer.unsynced()) << "the sidecar is synced too";
    } else
      for (const char* sidecar : {".sha256", ".sha256.part"})
        EXPECT_FALSE(fs::exists(path + sidecar)) << sidecar;
  }
}

// A stream carries the bytes the file would hold, in chunks, and no file is
// made; a reader that goes away stops the run, a failing stream fails it. A
// name given whole is the file's.
TEST_F(EngineTest, StreamsAndNames) {
  for (const bool fixed : {true, false}) {
    Custom("130000", fixed);
    const std::string file = RunJob({.sync = End}, "torvane");
    fs::remove(JobFilePath());
    for (const auto& [end_at, end, outcome] : {std::tuple(0, ByteSink::Result::Closed, Completed),
                                               std::tuple(2, ByteSink::Result::Closed, Stopped),
                                               std::tuple(2, ByteSink::Result::Failed, Failed)}) {
      RecordingSink sink;
      std::tie(sink.end_at, sink.end) = std::tie(end_at, end);
      RunJob({.sink = &sink}, "torvane");
      EXPECT_EQ(LastOutcome(), outcome) << fixed << end_at;
      const Sizes whole = fixed ? Sizes{61440, 61440, 7120} : Sizes{61440, 61440, 4096, 3024};
      EXPECT_EQ(sink.sizes, end_at == 0 ? whole : Sizes{61440}) << fixed << end_at;
      EXPECT_TRUE(sink.bytes == file.substr(0, sink.bytes.size())) << fixed << end_at;
      EXPECT_TRUE(fs::is_empty(dir.path()));
    }
  }
  EXPECT_EQ(boxes.Texts().rbegin()[1], kStreamFailedMessage);

  EXPECT_EQ(RunJob({.file_name = "a.bin"}).size(), 130000u);
  EXPECT_EQ(JobFilePath(), dir.File("a.bin"));
}

// Beyond 4 GiB a sparse file has its exact size while holding almost no
// blocks (smaller sparse files are verified as zeros above: reading 5 GiB
// back would only slow the suite).
TEST_F(EngineTest, SparseBeyond4GiB) {
  Custom("5368709120", false);
  SetRunOptions({.sync = End, .content = Sparse});  // never read into memory
  PushButton1_Click();
  EXPECT_EQ(fs::file_size(PathFromUtf8(JobFilePath())), 5368709120u);
  EXPECT_EQ(LastOutcome(), Completed);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
#ifndef _WIN32  // wine's GetCompressedFileSizeW answers with the file's length
  struct stat made {};
  ASSERT_EQ(::stat(JobFilePath().c_str(), &made), 0);
  EXPECT_LT(made.st_blocks * 512, 1 << 20);
#endif
}

}  // namespace
}  // namespace torvane::testing
