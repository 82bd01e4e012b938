#include "cli/console.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace torvane::cli {
namespace {

// Set from a signal handler (POSIX) or the console's handler thread
// (Windows): lock-free either way. The first signal stays.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// True for the first one.
bool Note(int signal) {
  int none = 0;
  return g_signal.compare_exchange_strong(none, signal);
}

#ifndef _WIN32
void OnSignal(int signal) { (void)Note(signal); }
#endif

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
  return Note(SIGINT) ? TRUE : FALSE;
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

bool OpenStandardStreams() {
#ifndef _WIN32
  // In order: open() takes the lowest free descriptor, the closed one.
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDWR) < 0) return false;
#endif
  return true;
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
  // SA_RESETHAND: a second signal of the same kind ends the program at once;
  // what was written stays (synced already, except under --sync end, where
  // the kernel writes it back later).
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
#endif
}

int InterruptSignal() { return g_signal; }

int TerminalColumns(bool output) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  const HANDLE handle = GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
#else
  struct winsize size {};
  if (ioctl(output ? STDOUT_FILENO : STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
#endif
}

NumberLocale NumberLocaleOfUser() {
  NumberLocale locale;
#ifdef _WIN32
  wchar_t text[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) > 0)
    locale.decimal_point = ToUtf8(text);
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, text, 8) > 0)
    locale.typed_group_separator = ToUtf8(text);
#else
  // A locale object of its own: the program's C locale stays as it is, so
  // that nothing else reads numbers differently.
  const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return locale;
  locale.decimal_point = nl_langinfo_l(RADIXCHAR, user);
  locale.typed_group_separator = nl_langinfo_l(THOUSEP, user);
  freelocale(user);
#endif
  if (locale.decimal_point.empty()) locale.decimal_point = ".";
  if (locale.typed_group_separator == locale.decimal_point) locale.typed_group_separator.clear();
  if (!locale.typed_group_separator.empty()) locale.group_separator = locale.typed_group_separator;
  return locale;
}

void PrepareByteOutput() {
#ifdef _WIN32
  (void)_setmode(_fileno(stdout), _O_BINARY);
#else
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

long WriteStandardOutput(const std::uint8_t* data, std::size_t size) {
#ifdef _WIN32
  return _write(1, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
#else
  return static_cast<long>(::write(STDOUT_FILENO, data, size));
#endif
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
      return "SIGHUP";
#endif
    default:
      return "SIGINT";
  }
}

}  // namespace torvane::cli
