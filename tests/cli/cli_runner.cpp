#include "tests/cli/cli_runner.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cli/run.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace torvane::cli {
namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

// One argument as CommandLineToArgvW (and the C runtime) read it back:
// quoted when it has blanks or quotes or is empty; backslashes double only
// where a quote follows them.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

// torvane-cli.exe lies beside the test program (one bin folder): under wine
// the build's own path is no Windows path.
std::wstring CliProgram() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  return self.substr(0, self.find_last_of(L"\\/") + 1) + Wide(TORVANE_CLI_NAME);
}

HANDLE OpenForChild(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

Cli::Cli(std::vector<std::string> args, const testing::TempDir& scratch, Streams streams) {
  out_ = streams.out.empty() ? scratch.File("stdout.txt") : streams.out;
  err_ = streams.err.empty() ? scratch.File("stderr.txt") : streams.err;
  read_out_ = streams.out.empty();
  read_err_ = streams.err.empty();
#ifdef _WIN32
  const std::wstring program = CliProgram();
  std::wstring line = Quoted(program);
  for (const std::string& arg : args) line += L" " + Quoted(Wide(arg));
  const HANDLE in = OpenForChild("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = OpenForChild(out_, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = OpenForChild(err_, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in;
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION info{};
  // A group of its own, so that a Ctrl-Break reaches the program alone.
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                     nullptr, nullptr, &start, &info)) {
    CloseHandle(info.hThread);
    process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    id_ = info.dwProcessId;
  }
  for (HANDLE h : {in, out, err})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
#else
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  for (const auto& [fd, path] : {std::pair{1, out_}, std::pair{2, err_}}) {
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
  pid_t pid = -1;
  if (posix_spawn(&pid, TORVANE_CLI_PATH, &actions, &attributes, argv.data(), environ) == 0)
    process_ = pid;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
#endif
}

Cli::~Cli() {
  if (!waited_) (void)Wait();
}

bool Cli::Interrupt(int signal) const {
  if (process_ == -1) return false;
#ifdef _WIN32
  (void)signal;
  if (GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_)) return true;
  TerminateProcess(reinterpret_cast<HANDLE>(process_), 1);
  return false;
#else
  return ::kill(static_cast<pid_t>(process_), signal) == 0;
#endif
}

Finished Cli::Wait() {
  Finished done;
  waited_ = true;
#ifdef _WIN32
  const HANDLE process = reinterpret_cast<HANDLE>(process_);
  DWORD code = 0;
  if (process_ != -1 && WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process, &code))
    done.status = static_cast<int>(code);
  if (process_ != -1) CloseHandle(process);
#else
  int raw = 0;
  const auto pid = static_cast<pid_t>(process_);
  if (pid > 0 && ::waitpid(pid, &raw, 0) == pid)
    done.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
#endif
  process_ = -1;
  if (read_out_) done.out = testing::ReadFileBytes(out_);
  if (read_err_) done.err = testing::ReadFileBytes(err_);
  return done;
}

Finished RunInProcess(const std::vector<std::string>& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Finished done;
  done.status = RunCommandLine(args);
  std::fflush(stdout);
  std::fflush(stderr);
  done.out = ::testing::internal::GetCapturedStdout();
  done.err = ::testing::internal::GetCapturedStderr();
#ifdef _WIN32
  // Caught streams keep the program's "\n"; a console or a pipe shows kEol.
  for (std::string* text : {&done.out, &done.err}) {
    std::string lines;
    for (char c : *text) {
      if (c == '\n' && (lines.empty() || lines.back() != '\r')) lines.push_back('\r');
      lines.push_back(c);
    }
    *text = std::move(lines);
  }
#endif
  return done;
}

}  // namespace torvane::cli
