#pragma once

// Sizes as the command line reads them, the way coreutils' head -c,
// truncate -s and fallocate -l do.

#include <string>

#include "common/byte_count.h"
#include "common/job.h"
#include "common/result.h"

namespace torvane::cli {

// Sets the job's size from a size text: a number (a fraction too, with the
// user's decimal point and, where the locale has one, its digit grouping)
// with an optional unit and an optional offset in bytes ("10MiB+1",
// "1GB-80"). K, M, G, T and KiB to TiB are powers of 1,024; KB, MB, GB, TB
// (kB too) powers of 1,000; none or B is bytes; letters in any case. A whole
// number of a binary unit keeps the window's name (10MiB: MB_10); any other
// size is named by its byte count (Byte_10000000), 0 bytes being Empty.dat.
// Returns `job` with that size.
Result<JobSettings> WithSize(const std::string& text, JobSettings job);
// The byte count of a size text.
Result<ByteCount> SizeInBytes(const std::string& text);

}  // namespace torvane::cli
