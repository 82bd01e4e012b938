// The command line never reports a failure as success, and what it says
// about the file matches the disk: a file another run holds, a reader that
// closes early, a closed standard error, a full disk and a signal, as a
// terminal shows them.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "bigfiles/file_layer.h"
#include "common/number_locale.h"
#include "tests/cli/cli_runner.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

// A file that another run holds is refused and left as it is: no
// truncation before the lock is won.
TEST(CliSafety, AFileBeingWrittenIsLeftAlone) {
  TempDir dir;
  const std::string path = dir.File("KB_1.dat");
  testing::WriteFileBytes(path, "held");
  FileLayer& layer = CurrentFileLayer();
  bool created = false;
  const int held = layer.OpenTarget(path, created);
  ASSERT_TRUE(held >= 0 && layer.LockExclusive(held));
  const Finished second = RunIn(dir, {});
  (void)layer.Close(held);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err,
            "torvane-cli: The file \"" + path + "\" is being written by another run.\n");
  EXPECT_TRUE(second.out.empty());
  EXPECT_EQ(ReadFileBytes(path), "held");
}

#ifndef _WIN32  // a pipe, a closed descriptor, a terminal, a small disk: Linux only
// A reader that closes early ends the run at once, quietly, with 141.
TEST(CliSafety, AReaderGoneEndsTheRunQuietly) {
  TempDir dir;
  const std::string command = std::string(TORVANE_CLI_PATH) + " -o - -s 1TiB 2>" + dir.File("err") +
                              " | head -c 100 >/dev/null";
  const int status = std::system(("bash -o pipefail -c '" + command + "'").c_str());
  EXPECT_EQ(std::tuple(WEXITSTATUS(status), ReadFileBytes(dir.File("err"))),
            std::tuple(141, std::string()));
}

// With standard error closed the data file would take descriptor 2, and the
// message about the folder at the checksum's name would land in it.
TEST(CliSafety, AClosedStandardErrorKeepsMessagesOutOfTheFile) {
  TempDir dir, clean, scratch;
  std::filesystem::create_directory(dir.File("MB_1.dat.sha256"));
  std::vector<std::string> line = {"-o", dir.Utf8(), "-s", "1MiB", "--checksum", "--seed", "c"};
  EXPECT_EQ(Cli(line, scratch, "", "&-").Wait().status, 1);
  line[1] = clean.Utf8();
  ASSERT_EQ(Cli(line, scratch).Wait().status, 0);
  EXPECT_TRUE(ReadFileBytes(dir.File("MB_1.dat")) == ReadFileBytes(clean.File("MB_1.dat")));
}

// A pseudo-terminal for standard error, so that the program draws its
// progress line as a user would see it. Read once the program has ended: a
// terminal holds the few kilobytes these runs draw.
struct Terminal {
  Terminal() {
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
        ::fcntl(master, F_SETFL, O_NONBLOCK) == 0)
      slave = ::ptsname(master);
  }
  ~Terminal() { ::close(master); }
  std::string Drain() const {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
      text.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;  // EAGAIN or EIO: everything the ended program wrote was read
  }
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  std::string slave;
};

// A run that ends before its size (a full disk, a signal) keeps whole
// records or chunks and names its reason on the last line, and its last
// progress line states what the file holds, not the last periodic count. A
// batch's line counts the whole batch's bytes.
TEST(CliSafety, TheTerminalShowsWhatTheFileHolds) {
  // The signal's name; the words; the signal, sent on an ordinary disk (0: the
  // small disk fills); the file holds a multiple of `whole`.
  const std::tuple<const char*, std::vector<std::string>, int, std::uintmax_t> rows[] = {
      {"DiskFullContinuous", {"-s", "2MiB", "--no-space-check"}, 0, 61440},
      {"DiskFullRecords", {"-s", "2MiB", "--layout", "fixed", "--no-space-check"}, 0, 80},
      {"SIGINT", {"-s", "4GiB", "--sync", "chunk"}, SIGINT, 61440},
      {"SIGTERM", {"-s", "4GiB", "--layout", "fixed", "--sync", "record"}, SIGTERM, 80},
      {"SIGHUP", {"-s", "4GiB", "--sync", "chunk"}, SIGHUP, 61440}};
  testing::SmallDisk disk("1m");
  TempDir big, scratch;
  for (const auto& [name, words, signal, whole] : rows) {
    SCOPED_TRACE(name);
    if (!signal && !disk.mounted()) continue;  // mounting needs root
    const TempDir& folder = signal ? big : disk.dir();
    std::vector<std::string> args = {"-o", folder.Utf8()};
    args.insert(args.end(), words.begin(), words.end());
    Terminal terminal;
    Cli run(args, scratch, "", terminal.slave);
    const std::string path = folder.File(signal ? "GB_4.dat" : "MB_2.dat");
    if (signal) {
      testing::WaitForBytes(path, 3 * whole);
      run.Interrupt(signal);
    }
    EXPECT_EQ(run.Wait().status, signal ? 128 + signal : 1);
    const std::string screen = terminal.Drain();
    const auto size = static_cast<ByteCount>(testing::SizeOf(path));
    const ByteCount total = signal ? 4LL << 30 : 2LL << 20;
    EXPECT_TRUE(size > 0 && size % whole == 0) << size;
    // The reason, or what the stop left, is the last line shown.
    EXPECT_TRUE(screen.ends_with(
        signal ? "torvane-cli: stopped by " + std::string(name) + ": GB_4.dat holds " +
                     FormatThousands(size) + " of " + FormatThousands(total) + " bytes\r\n"
               : "Failed to write to file. clsBigFiles.API_WriteFile: No space left on device\r\n"))
        << screen;
    // Each progress line is drawn as "\r" line "\033[K": the last one holds the file's bytes.
    const std::string holds = FormatThousands(size) + " / " + FormatThousands(total) + " bytes";
    EXPECT_NE(screen.find(holds, screen.rfind('\r', screen.rfind("\033[K"))), std::string::npos)
        << screen;
    std::filesystem::remove(path);
  }
  Terminal terminal;
  Cli batch({"-o", big.Utf8(), "-s", "1MiB", "--count", "2"}, scratch, "", terminal.slave);
  EXPECT_EQ(batch.Wait().status, 0);
  EXPECT_NE(terminal.Drain().find("(2/2) [####################] 100%  2,097,152 / 2,097,152 bytes"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace torvane::cli
