#include "cli/console.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <io.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>

namespace torvane::cli {
namespace {

// Set from a signal handler (POSIX) or the console's handler thread
// (Windows): lock-free either way.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
std::string ToUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();  // the terminating NUL
  return utf8;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second one goes on to the default handler, which ends the process;
  // what was written stays.
  return g_interrupted.exchange(true) ? FALSE : TRUE;
}
#else
void OnInterrupt(int) {
  g_interrupted = true;
  // A second Ctrl-C ends the program at once; what was written stays (synced
  // already, except under --sync end, where the kernel writes it back later).
  std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

void PrepareConsole() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(error, &mode))
    (void)SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

void CatchInterrupt() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool InterruptRequested() { return g_interrupted; }

}  // namespace torvane::cli
