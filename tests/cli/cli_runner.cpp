#include "tests/cli/cli_runner.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cli/run.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace torvane::cli {

Finished RunIn(const testing::TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"-o", dir.Utf8()});
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Finished done{RunCommandLine(args), "", ""};
  std::fflush(stdout);
  std::fflush(stderr);
  done.out = ::testing::internal::GetCapturedStdout();
  done.err = ::testing::internal::GetCapturedStderr();
  return done;
}

#ifndef _WIN32
Cli::Cli(std::vector<std::string> args, const testing::TempDir& scratch, std::string out,
         std::string err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  for (auto [fd, path, read] : {std::tuple{1, out, &out_}, std::tuple{2, err, &err_}}) {
    if (path.empty()) path = *read = scratch.File(fd == 1 ? "stdout.txt" : "stderr.txt");
    if (path == "&-")
      posix_spawn_file_actions_addclose(&actions, fd);
    else
      posix_spawn_file_actions_addopen(&actions, fd, path.c_str(),
                                       O_RDWR | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
  }
  args.insert(args.begin(), TORVANE_CLI_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The signals the tests send take the program's own handling even when the
  // test itself runs with them ignored (nohup), which the program keeps.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
  posix_spawnattr_setsigdefault(&attributes, &stops);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  if (posix_spawn(&pid_, TORVANE_CLI_PATH, &actions, &attributes, argv.data(), environ) != 0)
    pid_ = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
}

void Cli::Interrupt(int signal) const { ASSERT_EQ(::kill(pid_, signal), 0); }

Finished Cli::Wait() {
  Finished done;
  int raw = 0;
  if (pid_ > 0 && ::waitpid(pid_, &raw, 0) == pid_)
    done.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  pid_ = -1;
  if (!out_.empty()) done.out = testing::ReadFileBytes(out_);
  if (!err_.empty()) done.err = testing::ReadFileBytes(err_);
  return done;
}
#endif

}  // namespace torvane::cli
