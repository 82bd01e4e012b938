#pragma once

// Runs the real torvane-cli binary in the background, its standard output
// and error going to files (or a terminal) that the test reads afterwards.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

extern char** environ;

namespace torvane::cli {

struct Finished {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// A pseudo-terminal for standard error, so that the program draws its
// progress line as a user would see it.
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

// A small file system mounted on a fresh folder for the test's lifetime
// (only where the test may mount: root).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& size) {
    const std::string options = "size=" + size;
    mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount(dir_.path().c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const testing::TempDir& dir() const { return dir_; }

 private:
  testing::TempDir dir_;
  bool mounted_ = false;
};

class Cli {
 public:
  struct Streams {
    // "" a file in the scratch folder, which Wait() reads back; anything
    // else (/dev/full, a terminal) is left to the test.
    std::string out;
    std::string err;
  };
  Cli(std::vector<std::string> args, const testing::TempDir& scratch, Streams streams = {}) {
    out_ = streams.out.empty() ? scratch.File("stdout.txt") : streams.out;
    err_ = streams.err.empty() ? scratch.File("stderr.txt") : streams.err;
    read_out_ = streams.out.empty();
    read_err_ = streams.err.empty();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(),
                                     O_RDWR | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
    args.insert(args.begin(), TORVANE_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, TORVANE_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  void Interrupt() const { ::kill(pid_, SIGINT); }
  Finished Wait() {
    Finished done;
    int raw = 0;
    if (pid_ > 0 && ::waitpid(pid_, &raw, 0) == pid_)
      done.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    if (read_out_) done.out = testing::ReadFileBytes(out_);
    if (read_err_) done.err = testing::ReadFileBytes(err_);
    return done;
  }

 private:
  pid_t pid_ = -1;
  std::string out_, err_;
  bool read_out_ = true;
  bool read_err_ = true;
};

}  // namespace torvane::cli
