#pragma once

// What the command line needs of the terminal it runs in, on POSIX systems
// and on Windows alike.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/number_locale.h"

namespace torvane::cli {

// The program's arguments, without its own name, as UTF-8. Windows hands
// `argv` over in the ANSI code page, which cannot hold every file name, so
// there they are read from the wide command line instead.
[[nodiscard]] std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Opens each of descriptors 0, 1 and 2 that the caller left closed on
// /dev/null (POSIX): the first file opened would take it otherwise, and what
// is meant for standard output or error would land in that file. False when
// /dev/null cannot be opened.
[[nodiscard]] bool OpenStandardStreams();

// Makes the console show UTF-8 and the progress line's escape sequences
// (Windows); nothing to do on POSIX terminals.
void PrepareConsole();

// True when standard error is a terminal, where a progress line belongs.
[[nodiscard]] bool StderrIsTerminal();
// The columns of the terminal on standard error (or standard output, for
// `output`); 0 when it is no terminal or does not say.
[[nodiscard]] int TerminalColumns(bool output = false);

// The user's number conventions from LC_NUMERIC (the user's locale on
// Windows): its decimal point, and its digit grouping, "," where it has none.
[[nodiscard]] NumberLocale NumberLocaleOfUser();

// Standard output as a stream of bytes (-o -): binary on Windows, and a
// reader that goes away answers EPIPE instead of ending the program.
void PrepareByteOutput();
// One write(2) to standard output: the bytes taken, or -1 with errno set.
[[nodiscard]] long WriteStandardOutput(const std::uint8_t* data, std::size_t size);

// Ctrl-C (SIGINT), SIGTERM and SIGHUP (on Windows Ctrl-C and Ctrl-Break,
// taken as SIGINT) ask the run to stop: the first of them is what
// InterruptSignal() reads from then on; a second of the same kind ends the
// program at once. A signal ignored when the program starts (nohup) stays
// ignored.
void CatchInterrupt();
// The signal's number, or 0 while none came.
[[nodiscard]] int InterruptSignal();
// "SIGINT", "SIGTERM", "SIGHUP".
[[nodiscard]] const char* SignalName(int signal);

}  // namespace torvane::cli
