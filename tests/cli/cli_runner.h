#pragma once

// Runs the real torvane-cli binary in the background, its standard output
// and error going to files (or a terminal) that the test reads afterwards.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace torvane::cli {

// How a line of torvane-cli's output ends: its streams are text streams, and
// Windows writes those with CR LF.
#ifdef _WIN32
inline constexpr char kEol[] = "\r\n";
#else
inline constexpr char kEol[] = "\n";
#endif

struct Finished {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

#ifndef _WIN32
// A pseudo-terminal for standard error, so that the program draws its
// progress line as a user would see it. (Windows has no pty to hand a child.)
class Terminal {
 public:
  Terminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
        ::fcntl(master_, F_SETFL, O_NONBLOCK) == 0)
      slave_ = ::ptsname(master_);
  }
  ~Terminal() {
    if (master_ >= 0) ::close(master_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  const std::string& slave() const { return slave_; }
  // Everything written so far; call once the program has ended. A terminal
  // holds a few kilobytes, plenty for the progress lines of these runs.
  std::string Drain() const {
    std::string text;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return text;  // EAGAIN or EIO: everything the ended program wrote was read
    }
  }

 private:
  int master_ = -1;
  std::string slave_;
};

#endif

// Runs the command line in this process, as main would, its two streams
// caught: for every case that needs no signal, pipe or stream of its own.
Finished RunInProcess(const std::vector<std::string>& args);

class Cli {
 public:
  struct Streams {
    // "" a file in the scratch folder, which Wait() reads back; "&-" closed
    // (POSIX); anything else (/dev/full, a terminal) is left to the test.
    std::string out;
    std::string err;
  };
  // Starts torvane-cli with `args` (UTF-8) and standard input empty.
  Cli(std::vector<std::string> args, const testing::TempDir& scratch, Streams streams = {});
  ~Cli();
  Cli(const Cli&) = delete;
  Cli& operator=(const Cli&) = delete;
  // Sends `signal` (Ctrl-C: SIGINT); on Windows always Ctrl-Break, as a
  // console sends it to the program's own process group. False, the program
  // ended, where no such event can be sent: wine's consoles refuse
  // GenerateConsoleCtrlEvent.
  [[nodiscard]] bool Interrupt(int signal = SIGINT) const;
  Finished Wait();

 private:
  std::intptr_t process_ = -1;  // the pid, or the process handle on Windows
  std::uint32_t id_ = 0;        // the process (group) id on Windows
  bool waited_ = false;
  std::string out_, err_;
  bool read_out_ = true;
  bool read_err_ = true;
};

}  // namespace torvane::cli
