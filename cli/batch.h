#pragma once

// The files one command line makes, worked out before any is touched.

#include <string>
#include <vector>

#include "cli/options.h"
#include "common/byte_count.h"
#include "common/job.h"
#include "common/result.h"

namespace torvane::cli {

// One file of a batch, as the engine will be asked to make it.
struct BatchFile {
  JobSettings job;  // its output folder is the absolute one
  int copy = 1;     // the k-th file of its size: "_k" before ".dat" from 2 on
  ByteCount size = 0;
};

// Every file the options ask for, in order: each size `count` times, or the
// sizes that fill the folder. Refused when the folder cannot take them: a
// file larger than its file system allows, too little free space (unless
// the check is off, for sparse files and when only verifying), no room
// above the reserve for --fill, one name twice, or (with --no-clobber) a
// name already taken.
Result<std::vector<BatchFile>> PlanBatch(const Options& options, const std::string& folder);

}  // namespace torvane::cli
