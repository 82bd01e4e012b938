#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/size_text.h"
#include "common/job.h"
#include "common/result.h"
#include "engine/file_creator.h"

namespace torvane::cli {

inline constexpr const char* kProgramName = "torvane-cli";

struct Options {
  JobSettings job;  // the first file's; every file shares all but its size
  // One job per size asked, presets first, each in the order typed; empty
  // with --fill, whose sizes come from the free space.
  std::vector<JobSettings> jobs;
  int count = 1;  // files of each size
  bool fill = false;
  ByteCount reserve = 0;
  ByteCount max_file_size = 0;  // 0: no limit of ours
  bool space_check = true;
  bool no_clobber = false;  // a file at a target name is left alone: refused
  bool json = false;        // one JSON object a file on standard output
  // The run's options; a file that -o names whole is run.file_name, in the
  // job's folder.
  FileCreator::RunOptions run;
  bool stream = false;              // -o -: the bytes go to standard output
  std::optional<std::string> seed;  // content from the seeded stream
  bool quiet = false;
  bool help = false;
  bool version = false;
  bool list_presets = false;
};

// Reads the command line and checks everything a run needs before any file
// is touched: a rejected line never reaches the engine, and its refusal is
// one line, for standard error.
Result<Options> ParseCommandLine(const std::vector<std::string>& args);

// The --help text, made from the same option table, its descriptions
// wrapped to `width` columns.
std::string UsageText(int width = 80);

// The --list-presets text: each preset's index and list text, a line each.
std::string PresetList();

}  // namespace torvane::cli
