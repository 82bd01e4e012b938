#pragma once

// What the command line needs of the terminal it runs in, on POSIX systems
// and on Windows alike.

#include <string>
#include <vector>

namespace torvane::cli {

// The program's arguments, without its own name, as UTF-8. Windows hands
// `argv` over in the ANSI code page, which cannot hold every file name, so
// there they are read from the wide command line instead.
[[nodiscard]] std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 and the progress line's escape sequences
// (Windows); nothing to do on POSIX terminals.
void PrepareConsole();

// True when standard error is a terminal, where a progress line belongs.
[[nodiscard]] bool StderrIsTerminal();

// Ctrl-C (and Ctrl-Break on Windows) sets the flag that InterruptRequested()
// reads, from then on; a second one ends the program at once.
void CatchInterrupt();
[[nodiscard]] bool InterruptRequested();

}  // namespace torvane::cli
