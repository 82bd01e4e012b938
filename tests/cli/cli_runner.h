#pragma once

// torvane-cli in this process, as main would run it, or (POSIX) as a real
// process where a test needs a signal, a pipe, a closed descriptor or a
// terminal of its own.

#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace torvane::cli {

struct Finished {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// The command line in this process with `dir` as its output folder (a later
// -o overrides it), its two streams caught.
Finished RunIn(const testing::TempDir& dir, std::vector<std::string> args);

#ifndef _WIN32
class Cli {
 public:
  // Starts torvane-cli with `args` and standard input empty. `out` and `err`
  // name what the streams go to: "" a file in `scratch`, which Wait() reads
  // back; "&-" closed; anything else (/dev/full, a terminal) the test reads.
  Cli(std::vector<std::string> args, const testing::TempDir& scratch, std::string out = "",
      std::string err = "");
  ~Cli() { (void)Wait(); }
  Cli(const Cli&) = delete;
  Cli& operator=(const Cli&) = delete;
  void Interrupt(int signal) const;
  Finished Wait();

 private:
  int pid_ = -1;
  std::string out_, err_;  // the files Wait() reads back; "" none
};
#endif

}  // namespace torvane::cli
