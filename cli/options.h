#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/job.h"
#include "engine/file_creator.h"

namespace torvane::cli {

inline constexpr const char* kProgramName = "torvane-cli";

struct Options {
  JobSettings job;
  FileCreator::RunOptions run;
  std::optional<std::string> seed;  // content from the seeded stream
  bool quiet = false;
  bool help = false;
  bool version = false;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // one line, for standard error
  Options options;
};

// Reads the command line and checks everything a run needs before any file
// is touched: a rejected line never reaches the engine.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The --help text, made from the same option table.
std::string UsageText();

}  // namespace torvane::cli
