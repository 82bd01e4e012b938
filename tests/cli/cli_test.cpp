// The command line in this process: names, sizes, content, refusals, exit
// statuses and JSON; what its words and size texts set; its progress line.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/options.h"
#include "cli/progress_line.h"
#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/cli/cli_runner.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
namespace fs = std::filesystem;

// Raw bytes by default, as head -c gives them; records one option away; any
// size down to 1 byte; one byte value; a file named whole. Each file holds
// every byte of its alphabet and no other ("" not checked).
TEST(Cli, MakesTheFileAsked) {
  std::string raw;
  for (int c = 0; c < 256; ++c) raw.push_back(static_cast<char>(c));
  TempDir dir;
  const std::tuple<std::vector<std::string>, std::string, std::uintmax_t, std::string> rows[] = {
      {{}, "KB_1.dat", 1024, ""},
      {{"-s", "10KB"}, "Byte_10000.dat", 10000, raw},
      {{"-s", "64KiB", "--low", "48", "--high", "57"}, "KB_64.dat", 65536, "0123456789"},
      {{"-p", "1.44 mb"}, "MB_144.dat", 1457664, raw},
      {{"--layout", "fixed", "--case", "lower"}, "KB_1.dat", 1024, "0123456789abcdef\r\n"},
      {{"-s", "5", "--layout", "fixed"}, "Byte_5.dat", 5, ""},
      {{"-s", "1"}, "Byte_1.dat", 1, ""},
      {{"--size=0"}, "Empty.dat", 0, ""},
      {{"-s", "4KiB", "--low", "7", "--high", "7"}, "KB_4.dat", 4096, "\7"},
      {{"-s", "3", "--low", "65", "--high", "65", "--layout", "fixed"}, "Byte_3.dat", 3, "4\r\n"},
      {{"-o", dir.File("named.bin"), "-s", "5"}, "named.bin", 5, ""},
  };
  for (const auto& [args, name, bytes, alphabet] : rows) {
    const Finished done = RunIn(dir, args);
    ASSERT_EQ(done.status, 0) << name << ": " << done.err;
    EXPECT_EQ(done.out, dir.File(name) + "\n");
    const std::string file = ReadFileBytes(dir.File(name));
    EXPECT_EQ(file.size(), bytes) << name;
    const std::set<char> held(file.begin(), file.end());
    EXPECT_EQ(alphabet.empty() ? std::set<char>() : held,
              std::set<char>(alphabet.begin(), alphabet.end()))
        << name;
  }
}

TEST(Cli, RefusalsHelpAndVersionTouchNoFile) {
  // Exit 0: help or version on stdout. Exit 2: one line on stderr, refused
  // before any file is touched. Exit 1: the run itself failed. A reserve
  // beyond any disk keeps a --fill that slips through from filling this one.
  TempDir dir;
  const std::string file = dir.File("x.bin");
  std::vector<std::tuple<std::vector<std::string>, int, std::string>> rows = {
      {{"--help"}, 0, "Usage: torvane-cli [OPTIONS]"},
      {{"-q", "-h"}, 0, "  -s,--size SIZE "},
      {{"--version"}, 0, "torvane-cli 0."},
      {{"--list-presets"}, 0, "\n22  1.44 mb (1,457,664 bytes)\n23  720 kb (730,112 bytes)"},
      {{"stray", "words"}, 2, "arguments were not expected: stray words"},
      {{"--help", "--frobnicate"}, 2, "argument was not expected: --frobnicate"},
      {{"--fill", "-s", "10KB"}, 2, "--fill works out its own sizes"},
      {{"--fill", "--count", "2"}, 2, "--fill and --count exclude each other"},
      {{"-p", "0,0", "-s", "1KiB"}, 2, "KB_1.dat twice (--count makes copies)"},
      {{"--count", "0"}, 2, "--count: must be a whole number from 1 to 1000000: 0"},
      {{"--reserve", "1MiB"}, 2, "--reserve applies to --fill only"},
      {{"--max-file-size", "1MB"}, 2, "--max-file-size applies to --fill only"},
      {{"--fill", "--reserve", "100TB", "--max-file-size", "0"}, 2, "larger than 0"},
      {{"--fill", "--reserve", "100TB", "--content", "sparse"}, 2, "sparse fills nothing"},
      {{"--sync", "fast"}, 2, "--sync: must be end, chunk or record: fast"},
      {{"--compressible", "20", "--layout", "fixed"}, 2, "needs --layout continuous"},
      {{"--compressible", "0x10"}, 2, "from 0 to 100: 0x10"},
      {{"--content", "zeros", "--low", "3"}, 2, "--low applies to random content only"},
      {{"--verify", "--checksum"}, 2, "--verify never writes"},
      {{"-s", "10TB", "--verify"}, 2, "could not be read: No such file or directory"},
      {{"-p", "24"}, 2, "--preset: no such preset: 24"},
      {{"--low", "256"}, 2, "--low: must be a whole number from 0 to 255: 256"},
      {{"--low", "9", "--high", "8"}, 2, "--low must not be above --high"},
      {{"--case", "UPPER"}, 2, "--case: must be keep, lower or upper"},
      {{"--version", "--case", "wavy"}, 2, "--case"},
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
#endif
  for (const auto& [args, status, says] : rows) {
    const Finished done = RunIn(dir, args);
    EXPECT_EQ(done.status, status) << says;
    const std::string &said = status ? done.err : done.out, &quiet = status ? done.out : done.err;
    EXPECT_NE(said.find(says), std::string::npos) << said;
    EXPECT_TRUE(quiet.empty()) << quiet;
    EXPECT_TRUE(status == 0 ||
                (said.starts_with("torvane-cli: ") && said.find('\n') == said.size() - 1))
        << said;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
  // Help reads in 80 columns.
  std::istringstream help(UsageText());
  for (std::string line; std::getline(help, line);) EXPECT_LE(line.size(), 80u) << line;
#ifndef _WIN32
  // A script that cannot read the path has no success.
  const Finished full = Cli({"-o", file, "-s", "1"}, dir, "/dev/full").Wait();
  EXPECT_EQ(
      std::tie(full.status, full.err),
      std::tuple(1, "torvane-cli: the path of " + file +
                        " could not be written to standard output: No space left on device\n"));
#endif
}

// A run says in JSON what it made and streams the same bytes to standard
// output; verifying answers as cmp does: 0 the same, 1 different, 2
// unreadable; -n leaves every existing file alone.
TEST(Cli, VerifyJsonAndNoClobber) {
  TempDir dir;
  const std::string path = dir.File("KB_100.dat");
  const Finished made = RunIn(dir, {"-s", "100KiB", "--seed", "s", "--checksum", "--json"});
  ASSERT_EQ(made.status, 0) << made.err;
  auto object = nlohmann::json::parse(made.out);
  object.erase("seconds");
  const std::string sum = object.value("sha256", "");
  EXPECT_EQ(object.dump(), R"({"bytes":102400,"layout":"continuous","path":)" +
                               nlohmann::json(path).dump() + R"(,"seed":"s","sha256":")" + sum +
                               R"(","status":"done"})");
  EXPECT_EQ(ReadFileBytes(path + ".sha256"), sum + "  KB_100.dat\n");
#ifndef _WIN32  // the capture is read back in text mode there, CR LF turned to LF
  const Finished streamed = RunIn(dir, {"-o", "-", "-s", "100KiB", "--seed", "s"});
  EXPECT_TRUE(streamed.status == 0 && streamed.out == ReadFileBytes(path)) << streamed.err;
#endif

  // Seeded and zero content are compared byte for byte.
  for (const char* content : {"random", "zeros"}) {
    std::vector<std::string> make = {"-s", "100KiB", "--content", content};
    if (content == std::string("random")) make.insert(make.end(), {"--seed", "s"});
    ASSERT_EQ(RunIn(dir, make).status, 0) << content;
    make.push_back("--verify");
    const Finished same = RunIn(dir, make);
    EXPECT_EQ(std::tie(same.status, same.out), std::tuple(0, "OK " + path + "\n")) << content;
    std::string file = ReadFileBytes(path);
    file[777] ^= 1;
    WriteFileBytes(path, file);
    const Finished differs = RunIn(dir, make);
    EXPECT_EQ(differs.status, 1) << content;
    EXPECT_NE(differs.err.find("differs at byte 777"), std::string::npos) << differs.err;
  }
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_EQ(RunIn(dir, {"-s", "100KiB", "--seed", "s", "--verify"}).status, 2);

  // Copies are checked under the names they will take.
  WriteFileBytes(dir.File("KB_1_2.dat"), "");
  const Finished kept = RunIn(dir, {"-n", "-s", "1KiB,100KiB", "--count", "2"});
  EXPECT_EQ(kept.status, 2);
  EXPECT_EQ(kept.err, "torvane-cli: --no-clobber: already there: " + dir.File("KB_1_2.dat") + ", " +
                          path + "\n");
  EXPECT_FALSE(fs::exists(dir.File("KB_1.dat")));
}

// What the words of an accepted line set in the first file's job; the last
// of a repeated option counts, but sizes and presets each make a file.
TEST(ParseCommandLine, WordsSetTheJob) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, "preset 0, 0-255, continuous hex case 0"},
      {{"--preset=1.44 MB (1,457,664 bytes)"}, "preset 22, 0-255, continuous hex case 0"},
      {{"-p", "kb_720", "-p", "2"}, "preset 23, 0-255, continuous hex case 0"},
      {{"-s10m", "--size", "+2G"}, "10 unit 2, 0-255, continuous hex case 0"},
      {{"--low", "010", "--high=011"}, "preset 0, 10-11, continuous hex case 0"},
      {{"--layout", "fixed", "--format", "binary"}, "preset 0, 0-255, fixed binary case 0"},
      {{"--layout=fixed", "--layout", "continuous"}, "preset 0, 0-255, continuous hex case 0"},
      {{"--case", "upper"}, "preset 0, 0-255, continuous hex case 2"},
  };
  for (const auto& [args, expected] : rows) {
    const Result<Options> parsed = ParseCommandLine(args);
    ASSERT_TRUE(parsed) << parsed.error();
    const JobSettings& job = parsed->job;
    EXPECT_EQ((job.UsePresetSize ? "preset " + std::to_string(job.PresetIndex)
                                 : job.CustomLength + " unit " + std::to_string(job.CustomUnit)) +
                  ", " + job.LowText + "-" + job.HighText +
                  (job.FixedLength ? ", fixed " : ", continuous ") +
                  (job.HexPairs ? "hex" : "binary") + " case " +
                  std::to_string(static_cast<int>(job.Case)),
              expected);
    EXPECT_EQ(std::tuple(job.OutputFolder, parsed->run.sync),
              std::tuple(".", FileCreator::SyncMode::End));
  }
}

// Each size text's file name and byte count, or (after "!") a piece of its
// refusal; in the C locale, and where digits are grouped.
TEST(SizeText, ReadAsCoreutilsReadsThem) {
  const std::vector<std::tuple<NumberLocale, const char*, const char*>> rows = {
      {{}, "1K", "KB_1 1024"},
      {{}, "1tB", "Byte_1000000000000 1000000000000"},
      {{}, "10MB", "Byte_10000000 10000000"},
      {{}, "2t", "TB_2 2199023255552"},
      {{}, "1.5GiB", "Byte_1610612736 1610612736"},
      {{}, "2.0M", "MB_2 2097152"},
      {{}, "0.5", "Byte_1 1"},
      {{}, "10MiB+1", "Byte_10485761 10485761"},
      {{}, "1GB-1000000000", "Empty 0"},
      {{}, "1KB-1001", "!must not be negative"},
      {{}, "1KiB+1x", "!whole number of bytes"},
      {{}, "1KB+", "!whole number of bytes"},
      {{}, "ten", "!not a number: ten"},
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
      "[##########..........]  50%  1,048,576 / 2,097,152 "
      "bytes  1.0 MB/s  0:01 left";
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0), full);
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 78), full);
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 77),
            "[##########..........]  50%  1,048,576 / 2,097,152 bytes  1.0 MB/s");
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 40), " 50%  1,048,576 / 2,097,152 bytes");
  EXPECT_EQ(RenderProgress(1048576, 2097152, 1.0, 10), " 50%  1,0");
  EXPECT_EQ(RenderProgress(5000, 4000, 2.0),
            "[####################] 100%  4,000 / 4,000 bytes  2.0 KB/s");
  EXPECT_EQ(RenderProgress(1LL << 30, 3601LL << 30, 1.0),  // an hour left
            "[....................]   0%  1,073,741,824 / 3,866,544,308,224 bytes  1.0 GB/s  "
            "1:00:00 left");
}

}  // namespace
}  // namespace torvane::cli
