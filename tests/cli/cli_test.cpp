// Drives the real torvane-cli binary: exit codes, names, sizes, layout, Ctrl-C.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/progress_line.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/fakes.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

class CliTest : public ::testing::Test {
 protected:
  Finished Run(std::vector<std::string> args) { return Cli(std::move(args), scratch_).Wait(); }
  std::string Folder() const { return dir_.path().string(); }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  std::uintmax_t Size(const std::string& name) const {
    return std::filesystem::file_size(dir_.path() / name);
  }
  TempDir dir_;
  TempDir scratch_;
};

struct NamingCase {
  std::vector<std::string> args;
  std::string name;
  std::uintmax_t bytes;
};

TEST_F(CliTest, NamesAndSizesFollowTheWindowsRules) {
  const std::vector<NamingCase> cases = {
      {{}, "KB_1.dat", 1024},
      {{"-p", "22", "--layout", "continuous"}, "MB_144.dat", 1457664},
      {{"--preset", "720 kb", "--layout", "continuous"}, "KB_720.dat", 730112},
      {{"-p", "1.44 MB", "--layout=continuous"}, "MB_144.dat", 1457664},
      {{"-s", "1.5KB"}, "KB_1.5.dat", 1536},
      {{"-s", "100"}, "Byte_100.dat", 100},
      {{"--size=0"}, "Empty.dat", 0},
      {{"-s", "2mb", "--layout", "continuous", "-q"}, "MB_2.dat", 2097152},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-o", Folder()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Finished done = Run(args);
    ASSERT_EQ(done.status, 0) << c.name << ": " << done.err;
    EXPECT_EQ(done.out, Path(c.name) + "\n");
    EXPECT_EQ(Size(c.name), c.bytes) << c.name;
  }
}

TEST_F(CliTest, RecordsAndRangeReachTheFile) {
  ASSERT_EQ(Run({"-o", Folder(), "-s", "1000", "--case", "lower"}).status, 0);
  const std::string hex = ReadFileBytes(Path("Byte_1000.dat"));
  ASSERT_EQ(hex.size(), 1000u);
  for (std::size_t at = 0; at < hex.size(); at += 80) {
    const std::size_t len = std::min<std::size_t>(80, hex.size() - at);
    EXPECT_EQ(hex.substr(at + len - 2, 2), "\r\n");
    for (std::size_t i = at; i < at + len - 2; ++i)
      ASSERT_NE(std::string("0123456789abcdef").find(hex[i]), std::string::npos) << i;
  }

  ASSERT_EQ(
      Run({"-o", Folder(), "-s", "64KB", "--layout", "continuous", "--low", "48", "--high", "57"})
          .status,
      0);
  const std::string digits = ReadFileBytes(Path("KB_64.dat"));
  ASSERT_EQ(digits.size(), 65536u);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(CliTest, RefusalsAreOneLineWithTheirExitStatus) {
  // Exit 2: refused before any file is touched. Exit 1: the run itself failed
  // (/proc is a folder in which nobody, root included, can create a file).
  const std::vector<std::pair<std::vector<std::string>, int>> rows = {
      {{"--frobnicate"}, 2},
      {{"-p", "3", "-s", "10KB"}, 2},
      {{"-s", "ten"}, 2},
      {{"-s", "-5KB"}, 2},
      {{"-s", "99999999999GB"}, 2},
      {{"-s", "5"}, 2},
      {{"-s", "12XB"}, 2},
      {{"-p", "24"}, 2},
      {{"--low", "256"}, 2},
      {{"--low", "-1"}, 2},
      {{"--low", "9", "--high", "9"}, 2},
      {{"--layout", "wavy"}, 2},
      {{"-s"}, 2},
      {{"-o", "no-such-folder"}, 2},
      {{"-o", "/proc", "-q"}, 1},
  };
  for (const auto& [args, status] : rows) {
    std::vector<std::string> full = {"-o", Folder()};
    full.insert(full.end(), args.begin(), args.end());
    const Finished done = Run(full);
    EXPECT_EQ(done.status, status) << args[0];
    EXPECT_EQ(std::count(done.err.begin(), done.err.end(), '\n'), 1) << done.err;
    EXPECT_TRUE(done.out.empty());
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
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
  run.Interrupt();
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
