// The command line never reports a failure as success, and what it says
// about the file matches the disk: a lost path, a second run on the same
// file, a full disk and Ctrl-C.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "common/byte_count.h"
#include "common/number_locale.h"
#include "tests/cli/cli_runner.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::SizeOf;
using testing::TempDir;
using testing::WaitForBytes;

#ifndef _WIN32  // a terminal (pty), /dev/full and a small mounted disk: Linux only
// The last progress line a terminal shows: each is drawn as "\r" line "\033[K".
std::string LastProgressLine(const std::string& screen) {
  const std::size_t end = screen.rfind("\033[K");
  if (end == std::string::npos) return {};
  const std::size_t start = screen.rfind('\r', end) + 1;
  return screen.substr(start, end - start);
}

// A batch's progress line counts the whole batch's bytes.
TEST(CliSafety, ABatchShowsTheBatchsBytes) {
  TempDir dir, scratch;
  Terminal terminal;
  ASSERT_FALSE(terminal.slave().empty());
  const Finished done =
      Cli({"-o", dir.Utf8(), "-s", "1MiB", "--count", "2"}, scratch, {"", terminal.slave()}).Wait();
  EXPECT_EQ(done.status, 0) << done.err;
  const std::string screen = terminal.Drain();
  EXPECT_NE(screen.find("(2/2) [####################] 100%  2,097,152 / 2,097,152 bytes"),
            std::string::npos)
      << screen;
}

TEST(CliSafety, APathThatCannotBePrintedIsAFailedRun) {
  TempDir dir, scratch;
  const Finished done = Cli({"-q", "-o", dir.Utf8(), "-p", "0"}, scratch, {"/dev/full", ""}).Wait();
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("No space left on device"), std::string::npos) << done.err;
}

// With standard error closed the data file would take descriptor 2, and the
// message about the folder at the checksum's name would land in it.
TEST(CliSafety, AClosedStandardErrorKeepsMessagesOutOfTheFile) {
  TempDir dir, clean, scratch;
  const std::vector<std::string> args = {"-q",       "-s",         "1MiB",   "--checksum",
                                         "--layout", "continuous", "--seed", "closed"};
  std::filesystem::create_directory(dir.File("MB_1.dat.sha256"));
  std::vector<std::string> line = {"-o", dir.Utf8()};
  line.insert(line.end(), args.begin(), args.end());
  EXPECT_EQ(Cli(line, scratch, {"", "&-"}).Wait().status, 1);
  line[1] = clean.Utf8();
  ASSERT_EQ(Cli(line, scratch).Wait().status, 0);
  EXPECT_TRUE(ReadFileBytes(dir.File("MB_1.dat")) == ReadFileBytes(clean.File("MB_1.dat")));
}
#endif

// The second run meets the first one's lock, says so and touches nothing;
// the first goes on to a whole file (a hole of zeros would show as bytes
// that are no digits).
TEST(CliSafety, ASecondRunOnTheSameFileIsRefused) {
  TempDir dir, scratch, scratch2;
  const std::vector<std::string> args = {"-q",    "-o",    dir.Utf8(), "-s",     "16MiB", "--sync",
                                         "chunk", "--low", "48",       "--high", "57"};
  Cli first(args, scratch);
  const std::string path = dir.File("MB_16.dat");
  WaitForBytes(path, 61440);
  const Finished second = Cli(args, scratch2).Wait();
  const Finished done = first.Wait();

  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err,
            "torvane-cli: The file \"" + path + "\" is being written by another run." + kEol);
  EXPECT_TRUE(second.out.empty());
  ASSERT_EQ(done.status, 0) << done.err;
  const std::string file = ReadFileBytes(path);
  EXPECT_EQ(file.size(), 16u << 20);
  EXPECT_EQ(file.find_first_not_of("0123456789"), std::string::npos);
}

#ifndef _WIN32
struct EndRow {
  const char* name;  // the signal's, for a row that sends one
  std::vector<std::string> args;
  int signal;            // sent on an ordinary disk; 0: the small disk fills
  std::uintmax_t whole;  // the file holds a multiple of this
};
std::ostream& operator<<(std::ostream& out, const EndRow& row) { return out << row.name; }

class EndedEarly : public ::testing::TestWithParam<EndRow> {};

// A run that ends before its size (a full disk, a signal) keeps whole
// records or chunks, names its reason on the last line, and its last
// progress line states the bytes the file holds, not the last periodic count.
TEST_P(EndedEarly, SaysWhatTheFileHolds) {
  const EndRow& row = GetParam();
  testing::SmallDisk disk("1m");
  if (!row.signal && !disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
  TempDir big, scratch;
  const std::string folder = row.signal ? big.Utf8() : disk.dir().Utf8();
  std::vector<std::string> args = {"-o", folder};
  args.insert(args.end(), row.args.begin(), row.args.end());
  Terminal terminal;
  ASSERT_FALSE(terminal.slave().empty());
  Cli run(args, scratch, {"", terminal.slave()});
  const std::string path = folder + "/" + (row.signal ? "GB_4.dat" : "MB_2.dat");
  if (row.signal) {
    WaitForBytes(path, 3 * row.whole);
    ASSERT_TRUE(run.Interrupt(row.signal));
  }
  const Finished done = run.Wait();
  const std::string screen = terminal.Drain();

  EXPECT_EQ(done.status, row.signal ? 128 + row.signal : 1);
  const auto size = SizeOf(path);
  const torvane::ByteCount total = row.signal ? 4LL << 30 : 2LL << 20;
  const std::string said =
      row.signal
          ? "torvane-cli: stopped by " + std::string(row.name) + ": GB_4.dat holds " +
                FormatThousands(static_cast<torvane::ByteCount>(size)) + " of " +
                FormatThousands(total) + " bytes\r\n"
          : "Failed to write to file. clsBigFiles.API_WriteFile: No space left on device\r\n";
  // The reason, or what the stop left, is the last line shown.
  EXPECT_TRUE(screen.ends_with(said)) << "not the last line: " << screen;
  EXPECT_GT(size, 0u);
  EXPECT_EQ(size % row.whole, 0u) << size;
  const std::string holds = FormatThousands(static_cast<torvane::ByteCount>(size)) + " / " +
                            FormatThousands(total) + " bytes";
  EXPECT_NE(LastProgressLine(screen).find(holds), std::string::npos) << screen;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EndedEarly,
    ::testing::Values(
        EndRow{"DiskFullContinuous", {"-s", "2MiB", "--no-space-check"}, 0, 61440},
        EndRow{"DiskFullRecords", {"-s", "2MiB", "--layout", "fixed", "--no-space-check"}, 0, 80},
        EndRow{"SIGINT", {"-s", "4GiB", "--sync", "chunk"}, SIGINT, 61440},
        EndRow{"SIGTERM", {"-s", "4GiB", "--layout", "fixed", "--sync", "record"}, SIGTERM, 80},
        EndRow{"SIGHUP", {"-s", "4GiB", "--sync", "chunk"}, SIGHUP, 61440}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

}  // namespace
}  // namespace torvane::cli
