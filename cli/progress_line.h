#pragma once

#include <string>

#include "common/byte_count.h"

namespace torvane::cli {

// One line of terminal progress: a bar, the bytes, the percentage, the rate
// and the time left, e.g.
//   [########............]  42%  4,404,019 / 10,485,760 bytes  85.3 MB/s  0:01 left
std::string RenderProgress(ByteCount written, ByteCount total, double elapsed_seconds);

}  // namespace torvane::cli
