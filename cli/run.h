#pragma once

// One command line from its words to its exit status, over the same engine
// as the window: the terminal stands in for the window's controls and boxes.

#include <string>
#include <vector>

namespace torvane::cli {

// Runs the command line `args` (UTF-8, without the program's name) and
// returns its exit status: 0 done, 1 a failed run (--verify: the file
// differs), 2 bad input (--verify: the file could not be read), 128 + the
// signal's number after a stop, 141 when the reader of -o - went away.
// Paths or JSON go to standard output, everything else to standard error.
[[nodiscard]] int RunCommandLine(const std::vector<std::string>& args);

}  // namespace torvane::cli
