#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/job.h"
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
  FileCreator::RunOptions run;
  std::optional<std::string> seed;  // content from the seeded stream
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// What ParseCommandLine gives; the options hold only when ok.
struct ParseResult {
  bool ok = false;
  std::string error;  // one line, for standard error
  Options options;
};

// Sets the job's size from a size text: a number with an optional unit (B,
// KB/KiB, MB/MiB, GB/GiB, TB/TiB, all powers of 1024) and an optional offset
// in bytes ("10MB+1", "1GB-80"), which names the file by its byte count.
// Returns why the text is refused, or "".
[[nodiscard]] std::string ParseSizeText(const std::string& text, JobSettings& job);
// The byte count of a size text, or nothing (and `error`).
[[nodiscard]] std::optional<ByteCount> SizeInBytes(const std::string& text, std::string& error);

// Reads the command line and checks everything a run needs before any file
// is touched: a rejected line never reaches the engine.
[[nodiscard]] ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The --help text, made from the same option table.
std::string UsageText();

}  // namespace torvane::cli
