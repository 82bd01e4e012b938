// Drives the real torvane-cli binary: exit codes, names, sizes, layout, Ctrl-C.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/options.h"
#include "cli/progress_line.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/fakes.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

class CliTest : public ::testing::Test {
 protected:
  Finished Run(std::vector<std::string> args, Cli::Streams streams = {}) {
    return Cli(std::move(args), scratch_, std::move(streams)).Wait();
  }
  // A run whose output folder is the test's own.
  Finished RunHere(const std::vector<std::string>& args, Cli::Streams streams = {}) {
    std::vector<std::string> full = {"-o", Folder()};
    full.insert(full.end(), args.begin(), args.end());
    return Run(std::move(full), std::move(streams));
  }
  std::string Folder() const { return dir_.Utf8(); }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  std::uintmax_t Size(const std::string& name) const {
    return std::filesystem::file_size(dir_.path() / name);
  }
  TempDir dir_;
  TempDir scratch_;
};

TEST_F(CliTest, NamesAndSizesFollowTheWindowsRules) {
  const std::tuple<std::vector<std::string>, std::string, std::uintmax_t> cases[] = {
      {{}, "KB_1.dat", 1024},
      {{"-p", "22", "--layout", "continuous"}, "MB_144.dat", 1457664},
      {{"--preset", "720 kb", "--layout", "continuous"}, "KB_720.dat", 730112},
      {{"-p", "1.44 MB", "--layout=continuous"}, "MB_144.dat", 1457664},
      {{"-s", "1.5KB"}, "KB_1.5.dat", 1536},
      {{"-s", "100"}, "Byte_100.dat", 100},
      {{"--size=0"}, "Empty.dat", 0},
      {{"-s", "2mb", "--layout", "continuous", "-q"}, "MB_2.dat", 2097152},
  };
  for (const auto& [args, name, bytes] : cases) {
    const Finished done = RunHere(args);
    ASSERT_EQ(done.status, 0) << name << ": " << done.err;
    EXPECT_EQ(done.out, Path(name) + kEol);
    EXPECT_EQ(Size(name), bytes) << name;
  }
}

TEST_F(CliTest, RecordsAndRangeReachTheFile) {
  ASSERT_EQ(RunHere({"-s", "1000", "--case", "lower"}).status, 0);
  const std::string hex = ReadFileBytes(Path("Byte_1000.dat"));
  ASSERT_EQ(hex.size(), 1000u);
  for (std::size_t at = 0; at < hex.size(); at += 80) {
    const std::size_t len = std::min<std::size_t>(80, hex.size() - at);
    EXPECT_EQ(hex.substr(at + len - 2, 2), "\r\n");
    for (std::size_t i = at; i < at + len - 2; ++i)
      ASSERT_NE(std::string("0123456789abcdef").find(hex[i]), std::string::npos) << i;
  }

  ASSERT_EQ(RunHere({"-s", "64KB", "--layout", "continuous", "--low", "48", "--high", "57"}).status,
            0);
  const std::string digits = ReadFileBytes(Path("KB_64.dat"));
  ASSERT_EQ(digits.size(), 65536u);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
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
  std::vector<Row> rows = {
      {{"--help"}, 0, "Usage: torvane-cli [OPTIONS]"},
      {{"-h"}, 0, "  --layout fixed|continuous "},
      {{"-q", "--help"}, 0, "  -s,--size LENGTH[UNIT][+-BYTES] "},
      {{"--version"}, 0, "torvane-cli 0."},
      {{"--frobnicate"}, 2, "not expected: --frobnicate"},
      {{"stray", "words"}, 2, "not expected: stray words"},
      {{"--help", "--frobnicate"}, 2, "--frobnicate"},
      {{"--fill", "-s", "10KB"}, 2, "--fill works out its own sizes"},
      {{"-p", "0,0", "-s", "1KiB"}, 2, "KB_1.dat twice (--count makes copies)"},
      {{"-s", "1KB+"}, 2, "offset after the size must be a whole number"},
      {{"-s", "1KB-1020"}, 2, "at least 6 bytes: 1KB-1020"},
      {{"-s", "8EB"}, 2, "unknown unit 'EB'"},
      {{"--count", "0"}, 2, "--count"},
      {{"--count", "1000001"}, 2, "--count"},
      {{"--count", "0x3"}, 2, "--count: must be a whole number from 1 to 1000000: 0x3"},
      {{"--reserve", "1MiB"}, 2, "--reserve applies to --fill only"},
      {{"--max-file-size", "1MB"}, 2, "--max-file-size applies to --fill only"},
      {{"--fill", "--reserve", "100TB", "--max-file-size", "0"}, 2, "larger than 0"},
      {{"--fill", "--reserve", "100TB", "--content", "sparse"}, 2, "sparse fills nothing"},
      {{"--sync", "fast"}, 2, "--sync: must be record, chunk or end: fast"},
      {{"--content", "none"}, 2, "--content"},
      {{"--compressible", "101"}, 2, "--compressible"},
      {{"--compressible", "20"}, 2, "--compressible needs --layout continuous"},
      {{"--compressible", "0x10", "--layout", "continuous"}, 2, "from 0 to 100: 0x10"},
      {{"--content", "zeros", "--low", "3"}, 2, "--low applies to random content only"},
      {{"--verify", "--checksum"}, 2, "--verify never writes"},
      {{"-s", "10TB"}, 2, "the folder has"},
      {{"--verify"}, 1, "could not be read: No such file or directory"},
      {{"-s", "ten"}, 2, "--size: not a number: ten"},
      {{"-s", "-5KB"}, 2, "negative: -5KB"},
      {{"-s", "99999999999GB"}, 2, "too large"},
      {{"-s", "5"}, 2, "at least 6 bytes: 5"},
      {{"-s", "12XB"}, 2, "unit 'XB'"},
      {{"-p", "24"}, 2, "--preset: no such preset: 24"},
      {{"-p", "023"}, 2, "023"},
      {{"--low", "256"}, 2, "--low: must be a whole number from 0 to 255: 256"},
      {{"--low", "-1"}, 2, "0 to 255: -1"},
      {{"--high", "0x10"}, 2, "--high"},
      {{"--low", "9", "--high", "9"}, 2, "--low must be below --high"},
      {{"--layout", "wavy"}, 2, "--layout: must be fixed or continuous: wavy"},
      {{"--format", "0"}, 2, "must be hex or binary"},
      {{"--case", "UPPER"}, 2, "must be keep, lower or upper"},
      {{"--version", "--case", "wavy"}, 2, "--case"},
      {{"-s"}, 2, "--size"},
      {{"--size="}, 2, "--size"},
      {{"-o", "no-such-folder"}, 2, "folder does not exist: no-such-folder"},
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
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

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
    bool quiet;
  };
  using enum CaseConversion;
  const std::vector<Row> rows = {
      {{}, "preset 0", "0", "255", true, true, None, false},
      {{"-p", " 7 "}, "preset 7", "0", "255", true, true, None, false},
      {{"--preset=1.44 MB (1,457,664 bytes)"}, "preset 22", "0", "255", true, true, None, false},
      {{"-p", "kb_720", "-p", "2"}, "preset 23", "0", "255", true, true, None, false},
      {{"-s", " 1.5 kb "}, "1.5 unit 1", "0", "255", true, true, None, false},
      {{"-s10m", "--size", "+2G"}, "10 unit 2", "0", "255", true, true, None, false},
      {{"--size=0"}, "0 unit 0", "0", "255", true, true, None, false},
      {{"--low", "010", "--high=011"}, "preset 0", "10", "11", true, true, None, false},
      {{"--low", " 48\t", "--high", "57"}, "preset 0", "48", "57", true, true, None, false},
      // clang-format off
      {{"--layout", "continuous", "--format", "binary"},
       "preset 0", "0", "255", false, false, None, false},
      {{"--layout=continuous", "--layout", "fixed"},
       "preset 0", "0", "255", true, true, None, false},
      // clang-format on
      {{"--case", "upper", "-q"}, "preset 0", "0", "255", true, true, Upper, true},
      {{"--case=lower", "--quiet"}, "preset 0", "0", "255", true, true, Lower, true},
  };
  for (const auto& row : rows) {
    const std::string line = ::testing::PrintToString(row.args);
    const ParseResult parsed = ParseCommandLine(row.args);
    ASSERT_TRUE(parsed.ok) << line << ": " << parsed.error;
    const JobSettings& job = parsed.options.job;
    EXPECT_EQ(job.UsePresetSize ? "preset " + std::to_string(job.PresetIndex)
                                : job.CustomLength + " unit " + std::to_string(job.CustomUnit),
              row.size)
        << line;
    EXPECT_EQ(std::tuple(job.OutputFolder, job.LowText, job.HighText, job.FixedLength, job.HexPairs,
                         job.Case, parsed.options.quiet),
              std::tuple(".", row.low, row.high, row.fixed, row.hex, row.letters, row.quiet))
        << line;
  }
}

TEST_F(CliTest, CtrlCStopsWithWholeChunksAndExit130) {
  Cli run({"-o", Folder(), "-s", "4GB", "--layout", "continuous", "-q"}, scratch_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  const std::string file = Path("GB_4.dat");
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) >= 3 * 61440 && !ec) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!run.Interrupt()) GTEST_SKIP() << "no console event can be sent here (wine)";
  const Finished done = run.Wait();
  EXPECT_EQ(done.status, 130) << done.err;
  EXPECT_TRUE(done.out.empty());
  const auto size = Size("GB_4.dat");
  EXPECT_GT(size, 0u);
  EXPECT_LT(size, 4ull << 30);
  EXPECT_EQ(size % 61440, 0u);
}

TEST(ProgressLine, ShowsBytesPercentRateAndTimeLeft) {
  EXPECT_EQ(RenderProgress(0, 2048, 0.0), "[....................]   0%  0 / 2,048 bytes");
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0),
            "[##########..........]  50%  1,048,576 / 2,097,152 bytes  1.0 MB/s  0:01 left");
  EXPECT_EQ(RenderProgress(5000, 4000, 2.0),
            "[####################] 100%  4,000 / 4,000 bytes  2.0 KB/s");
}

}  // namespace
}  // namespace torvane::cli
