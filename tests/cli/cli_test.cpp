// Drives the real torvane-cli binary: names, sizes, content, streams,
// refusals and exit statuses; and what its words and sizes set, in process.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli/options.h"
#include "cli/progress_line.h"
#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/fakes.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
 protected:
  // A run whose output folder is the test's own; in this process unless it
  // needs a stream of its own.
  Finished RunHere(const std::vector<std::string>& args, Cli::Streams streams = {}) {
    std::vector<std::string> full = {"-o", Folder()};
    full.insert(full.end(), args.begin(), args.end());
    if (streams.out.empty() && streams.err.empty()) return RunInProcess(full);
    return Cli(std::move(full), scratch_, std::move(streams)).Wait();
  }
  std::string Folder() const { return dir_.Utf8(); }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  TempDir dir_;
  TempDir scratch_;
};

bool AllOf(const std::string& bytes, const std::string& alphabet) {
  return bytes.find_first_not_of(alphabet) == std::string::npos;
}
// 80-byte records (the last one shorter) of lower-case hex, each ending in CR LF.
bool LowerHex(const std::string& file) {
  for (std::size_t at = 0; at < file.size(); at += 80) {
    const std::string record = file.substr(at, 80);
    if (record.size() >= 2 && record.substr(record.size() - 2) != "\r\n") return false;
    if (!AllOf(record.substr(0, record.size() - 2), "0123456789abcdef")) return false;
  }
  return true;
}

// Raw bytes by default, as head -c gives them; records one option away; any
// size down to 1 byte; one byte value; a file named whole.
TEST_F(CliTest, MakesTheFileAsked) {
  using Check = std::function<bool(const std::string&)>;
  const Check any = [](const std::string&) { return true; };
  // Raw random bytes: all 256 values turn up in a few kilobytes.
  const Check raw = [](const std::string& f) {
    return std::set<char>(f.begin(), f.end()).size() == 256;
  };
  const auto only = [](std::string alphabet) -> Check {
    return [alphabet](const std::string& f) { return AllOf(f, alphabet); };
  };
  const std::tuple<std::vector<std::string>, std::string, std::uintmax_t, Check> rows[] = {
      {{}, "KB_1.dat", 1024, any},
      {{"-s", "10KB"}, "Byte_10000.dat", 10000, raw},
      {{"-s", "64KiB", "--low", "48", "--high", "57"}, "KB_64.dat", 65536, only("0123456789")},
      {{"-p", "1.44 mb"}, "MB_144.dat", 1457664, raw},
      {{"-s", "1000", "--layout", "fixed", "--case", "lower"}, "Byte_1000.dat", 1000, LowerHex},
      {{"-s", "5", "--layout", "fixed"}, "Byte_5.dat", 5, any},
      {{"-s", "1"}, "Byte_1.dat", 1, any},
      {{"--size=0"}, "Empty.dat", 0, any},
      {{"-s", "4KiB", "--low", "7", "--high", "7"}, "KB_4.dat", 4096, only("\7")},
      {{"-s", "3", "--low", "65", "--high", "65", "--layout", "fixed", "--format", "binary"},
       "Byte_3.dat",
       3,
       [](const std::string& f) { return f == "A\r\n"; }},
  };
  for (const auto& [args, name, bytes, check] : rows) {
    const Finished done = RunHere(args);
    ASSERT_EQ(done.status, 0) << name << ": " << done.err;
    EXPECT_EQ(done.out, Path(name) + kEol);
    const std::string file = ReadFileBytes(Path(name));
    EXPECT_EQ(file.size(), bytes) << name;
    EXPECT_TRUE(check(file)) << name;
  }
  const std::string named = (dir_.path() / "named.bin").string();
  const Finished done = RunInProcess({"-o", named, "-s", "5"});
  EXPECT_EQ(done.out, named + kEol);
  EXPECT_EQ(fs::file_size(named), 5u);
}

TEST_F(CliTest, RefusalsHelpAndVersionTouchNoFile) {
  // Exit 0: help or version on stdout. Exit 2: one line on stderr, refused
  // before any file is touched. Exit 1: the run itself failed. A reserve
  // beyond any disk keeps a --fill that slips through from filling this one.
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string says;
    std::string out = "";  // standard output, when not a file read back
  };
  const std::string file = Path("x.bin");
  std::vector<Row> rows = {
      {{"--help"}, 0, "Usage: torvane-cli [OPTIONS]"},
      {{"-h"}, 0, "  --layout continuous|fixed "},
      {{"-q", "--help"}, 0, "  -s,--size SIZE "},
      {{"--version"}, 0, "torvane-cli 0."},
      {{"--list-presets"},
       0,
       std::string(kEol) + "22  1.44 mb (1,457,664 bytes)" + kEol + "23  720 kb (730,112 bytes)"},
      {{"--frobnicate"}, 2, "not expected: --frobnicate"},
      {{"stray", "words"}, 2, "not expected: stray words"},
      {{"--help", "--frobnicate"}, 2, "--frobnicate"},
      {{"--fill", "-s", "10KB"}, 2, "--fill works out its own sizes"},
      {{"-p", "0,0", "-s", "1KiB"}, 2, "KB_1.dat twice (--count makes copies)"},
      {{"-s", "1KB+"}, 2, "offset after the size must be a whole number"},
      {{"-s", "1KiB+1x"}, 2, "offset after the size must be a whole number"},
      {{"-s", "1KB-1020"}, 2, "negative: 1KB-1020"},
      {{"-s", "8EB"}, 2, "unknown unit 'EB'"},
      {{"--count", "0"}, 2, "--count"},
      {{"--count", "0x3"}, 2, "--count: must be a whole number from 1 to 1000000: 0x3"},
      {{"--reserve", "1MiB"}, 2, "--reserve applies to --fill only"},
      {{"--max-file-size", "1MB"}, 2, "--max-file-size applies to --fill only"},
      {{"--fill", "--reserve", "100TB", "--max-file-size", "0"}, 2, "larger than 0"},
      {{"--fill", "--reserve", "100TB", "--content", "sparse"}, 2, "sparse fills nothing"},
      {{"--sync", "fast"}, 2, "--sync: must be end, chunk or record: fast"},
      {{"--content", "none"}, 2, "--content"},
      {{"--compressible", "20", "--layout", "fixed"}, 2, "needs --layout continuous"},
      {{"--compressible", "0x10"}, 2, "from 0 to 100: 0x10"},
      {{"--content", "zeros", "--low", "3"}, 2, "--low applies to random content only"},
      {{"--verify", "--checksum"}, 2, "--verify never writes"},
      {{"-s", "10TB"}, 2, "the folder has"},
      {{"--verify"}, 2, "could not be read: No such file or directory"},
      {{"-s", "ten"}, 2, "--size: not a number: ten"},
      {{"-s", "99999999999GB"}, 2, "too large"},
      {{"-p", "24"}, 2, "--preset: no such preset: 24"},
      {{"--low", "256"}, 2, "--low: must be a whole number from 0 to 255: 256"},
      {{"--high", "0x10"}, 2, "--high"},
      {{"--low", "9", "--high", "8"}, 2, "--low must not be above --high"},
      {{"--layout", "wavy"}, 2, "--layout: must be continuous or fixed: wavy"},
      {{"--case", "UPPER"}, 2, "must be keep, lower or upper"},
      {{"--version", "--case", "wavy"}, 2, "--case"},
      {{"--size="}, 2, "--size"},
      {{"-o", "no-such-folder/"}, 2, "folder does not exist: no-such-folder/"},
      {{"-o", "no-such-folder/x.bin"}, 2, "folder does not exist: no-such-folder"},
      {{"-o", file, "--count", "2"}, 2, "-o must name a folder"},
      {{"-o", file, "-s", "1,2"}, 2, "-o must name a folder"},
      {{"-o", "-", "--verify"}, 2, "-o - streams the bytes"},
      {{"-o", "-", "--checksum"}, 2, "-o - streams the bytes"},
      {{"-o", "-", "--json"}, 2, "--json writes to standard output"},
  };
#ifndef _WIN32
  // /proc: a folder in which nobody, root included, can create a file.
  rows.push_back({{"-o", "/proc", "-q"}, 2, "the folder has 0 bytes free"});
  rows.push_back({{"-o", "/proc", "-q", "--no-space-check"}, 1, "/proc/KB_1.dat"});
  for (const char* word : {"--help", "--version"})
    rows.push_back({{word}, 1, "could not be written to standard output: No space", "/dev/full"});
#endif
  for (const auto& row : rows) {
    const Finished done = RunHere(row.args, {row.out, ""});
    EXPECT_EQ(done.status, row.status) << row.says;
    const std::string &said = row.status ? done.err : done.out,
                      &quiet = row.status ? done.out : done.err;
    EXPECT_NE(said.find(row.says), std::string::npos) << said;
    EXPECT_TRUE(quiet.empty()) << quiet;
    if (row.status != 0) {
      EXPECT_EQ(done.err.rfind("torvane-cli: ", 0), 0u) << done.err;
      EXPECT_EQ(std::count(done.err.begin(), done.err.end(), '\n'), 1) << done.err;
    }
  }
  EXPECT_TRUE(fs::is_empty(dir_.path()));
  // Help reads in 80 columns.
  std::size_t start = 0;
  for (const std::string help = UsageText(); start < help.size();) {
    const std::size_t end = help.find('\n', start);
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
    start = end + 1;
  }
}

// Verifying answers as cmp does: 0 the same, 1 different, 2 unreadable; a
// run says in JSON what it made; -n leaves every existing file alone.
TEST_F(CliTest, VerifyJsonAndNoClobber) {
  const std::vector<std::string> seeded = {"-s", "100KiB", "--seed", "s", "--checksum"};
  std::vector<std::string> json = seeded;
  json.push_back("--json");
  const Finished made = RunHere(json);
  ASSERT_EQ(made.status, 0) << made.err;
  const auto object = nlohmann::json::parse(made.out);
  EXPECT_EQ(object["path"], Path("KB_100.dat"));
  EXPECT_EQ(object["bytes"], 102400);
  EXPECT_EQ(object["layout"], "continuous");
  EXPECT_EQ(object["seed"], "s");
  EXPECT_EQ(object["status"], "done");
  EXPECT_EQ(ReadFileBytes(Path("KB_100.dat.sha256")),
            object["sha256"].get<std::string>() + "  KB_100.dat\n");

  // Seeded and zero content are compared byte for byte.
  for (const char* content : {"random", "zeros"}) {
    std::vector<std::string> make = {"-s", "100KiB", "--content", content};
    if (content == std::string("random")) make.insert(make.end(), {"--seed", "s"});
    if (content != std::string("random")) ASSERT_EQ(RunHere(make).status, 0);
    make.push_back("--verify");
    EXPECT_EQ(RunHere(make).status, 0) << content;
    std::string file = ReadFileBytes(Path("KB_100.dat"));
    file[777] ^= 1;
    WriteFileBytes(Path("KB_100.dat"), file);
    const Finished differs = RunHere(make);
    EXPECT_EQ(differs.status, 1) << content;
    EXPECT_NE(differs.err.find("differs at byte 777"), std::string::npos) << differs.err;
  }
  const std::vector<std::string> verify = {"-s", "100KiB", "--seed", "s", "--verify"};
  fs::remove(Path("KB_100.dat"));
  fs::create_directory(Path("KB_100.dat"));
  EXPECT_EQ(RunHere(verify).status, 2);

  const Finished kept = RunHere({"-n", "-s", "1KiB,100KiB"});
  EXPECT_EQ(kept.status, 2);
  EXPECT_NE(kept.err.find("--no-clobber: already there: " + Path("KB_100.dat")), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("KB_1.dat")));
}

#ifndef _WIN32
// The run's bytes to standard output, the same as the file's; a reader that
// closes early ends the run at once, quietly, with 141.
TEST_F(CliTest, StreamsToStandardOutput) {
  const std::vector<std::string> args = {"-s", "200KiB", "--seed", "s", "--layout", "fixed"};
  ASSERT_EQ(RunHere(args).status, 0);
  std::vector<std::string> streamed = {"-o", "-"};
  streamed.insert(streamed.end(), args.begin(), args.end());
  const Finished done = Cli(streamed, scratch_).Wait();
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_TRUE(done.out == ReadFileBytes(Path("KB_200.dat")));

  const std::string command = std::string(TORVANE_CLI_PATH) + " -o - -s 1TiB 2>" +
                              scratch_.File("err") + " | head -c 100 >/dev/null";
  const int status = std::system(("bash -o pipefail -c '" + command + "'").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 141);
  EXPECT_EQ(ReadFileBytes(scratch_.File("err")), "");
}
#endif

// What the words of an accepted line set in the first file's job; the last
// of a repeated option counts, but sizes and presets each make a file. Size:
// "preset N" or "LENGTH unit U".
TEST(ParseCommandLine, WordsSetTheJob) {
  struct Row {
    std::vector<std::string> args;
    std::string size;
    std::string low, high;
    bool fixed, hex;
    CaseConversion letters;
  };
  using enum CaseConversion;
  const std::vector<Row> rows = {
      {{}, "preset 0", "0", "255", false, true, None},
      {{"--preset=1.44 MB (1,457,664 bytes)"}, "preset 22", "0", "255", false, true, None},
      {{"-p", "kb_720", "-p", "2"}, "preset 23", "0", "255", false, true, None},
      {{"-s10m", "--size", "+2G"}, "10 unit 2", "0", "255", false, true, None},
      {{"--low", "010", "--high=011"}, "preset 0", "10", "11", false, true, None},
      {{"--layout", "fixed", "--format", "binary"}, "preset 0", "0", "255", true, false, None},
      {{"--layout=fixed", "--layout", "continuous"}, "preset 0", "0", "255", false, true, None},
      {{"--case", "upper"}, "preset 0", "0", "255", false, true, Upper},
  };
  for (const auto& row : rows) {
    const std::string line = ::testing::PrintToString(row.args);
    const Result<Options> parsed = ParseCommandLine(row.args);
    ASSERT_TRUE(parsed) << line << ": " << parsed.error();
    const JobSettings& job = parsed->job;
    EXPECT_EQ(job.UsePresetSize ? "preset " + std::to_string(job.PresetIndex)
                                : job.CustomLength + " unit " + std::to_string(job.CustomUnit),
              row.size)
        << line;
    EXPECT_EQ(std::tuple(job.OutputFolder, job.LowText, job.HighText, job.FixedLength, job.HexPairs,
                         job.Case, parsed->run.sync),
              std::tuple(".", row.low, row.high, row.fixed, row.hex, row.letters,
                         FileCreator::SyncMode::End))
        << line;
  }
}

// Each size text's file name and byte count, or (after "!") a piece of its
// refusal; in the C locale, and where digits are grouped.
TEST(SizeText, ReadAsCoreutilsReadsThem) {
  const std::vector<std::tuple<NumberLocale, const char*, const char*>> rows = {
      {{}, "1536", "Byte_1536 1536"},
      {{}, "1K", "KB_1 1024"},
      {{}, "1kib", "KB_1 1024"},
      {{}, "1KB", "Byte_1000 1000"},
      {{}, "1kB", "Byte_1000 1000"},
      {{}, "10MiB", "MB_10 10485760"},
      {{}, "10MB", "Byte_10000000 10000000"},
      {{}, "2t", "TB_2 2199023255552"},
      {{}, "1TB", "Byte_1000000000000 1000000000000"},
      {{}, "1.5GiB", "Byte_1610612736 1610612736"},
      {{}, "1.5KB", "Byte_1500 1500"},
      {{}, "2.0M", "MB_2 2097152"},
      {{}, "0.5", "Byte_1 1"},
      {{}, "1b", "Byte_1 1"},
      {{}, "0B", "Empty 0"},
      {{}, "10MiB+1", "Byte_10485761 10485761"},
      {{}, "1GB-80", "Byte_999999920 999999920"},
      {{}, "1KiB-1024", "Empty 0"},
      {{}, "1KB-1001", "!negative"},
      {{}, "1KiB+1x", "!whole number of bytes"},
      {{}, "1,024", "!unknown unit ',024'"},
      {{}, "2PB", "!unknown unit 'PB'"},
      {{}, "8388608TiB", "!too large"},
      {{}, "9223372036854775807+1", "!too large"},
      {{",", ".", "."}, "1.048.576", "Byte_1048576 1048576"},
      {{",", ".", "."}, "1,5K", "Byte_1536 1536"},
      {{".", ",", ","}, "1,048,576B", "Byte_1048576 1048576"},
      {{".", ",", ","}, "1,04", "!unknown unit ',04'"},
  };
  for (const auto& [locale, text, expect] : rows) {
    SetUserNumberLocale(locale);
    const Result<JobSettings> job = WithSize(text, {});
    const std::string got = job ? FileCreator::ResolveTarget(*job)->name + " " +
                                      std::to_string(FileCreator::ResolveTarget(*job)->size)
                                : "!" + job.error();
    EXPECT_TRUE(got.rfind(expect, 0) == 0 ||
                (expect[0] == '!' && got.find(expect + 1) != std::string::npos))
        << text << " gave " << got;
  }
  // Where commas group digits, "-s 1,048,576" is one size, elsewhere three.
  EXPECT_EQ(ParseCommandLine({"-s", "1,048,576"})->jobs.size(), 1u);
  SetUserNumberLocale({});
  EXPECT_EQ(ParseCommandLine({"-s", "1,048,576"})->jobs.size(), 3u);
}

TEST(ProgressLine, FitsTheTerminal) {
  EXPECT_EQ(RenderProgress(0, 2048, 0.0), "[....................]   0%  0 / 2,048 bytes");
  const std::string full =
      "[##########..........]  50%  1,048,576 / 2,097,152 bytes  1.0 MB/s  0:01 left";
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0), full);
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 78), full);
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 77),
            "[##########..........]  50%  1,048,576 / 2,097,152 bytes  1.0 MB/s");
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 40), " 50%  1,048,576 / 2,097,152 bytes");
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 10), " 50%  1,0");
  EXPECT_EQ(RenderProgress(5000, 4000, 2.0),
            "[####################] 100%  4,000 / 4,000 bytes  2.0 KB/s");
}

}  // namespace
}  // namespace torvane::cli
