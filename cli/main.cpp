// torvane-cli: the engine of the window, driven from a script.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/run.h"

int main(int argc, char** argv) {
  using namespace torvane::cli;
  // Before anything is opened: a closed standard stream would otherwise be
  // the first file's descriptor, and messages would land in that file.
  if (!OpenStandardStreams()) {
    std::fprintf(stderr, "%s: /dev/null could not be opened: %s\n", kProgramName,
                 std::strerror(errno));
    return 1;
  }
  PrepareConsole();
  return RunCommandLine(Utf8Arguments(argc, argv));
}
