#pragma once

#include <string>
#include <string_view>

#include "common/byte_count.h"

namespace torvane::cli {

// One line of terminal progress: a bar, the bytes, the percentage, the rate
// and the time left, e.g.
//   [########............]  42%  4,404,019 / 10,485,760 bytes  85.3 MB/s  0:01 left
// With `width` > 0 the line never wraps: it keeps to width - 1 columns,
// dropping the time left, then the rate, then the bar, then cutting the rest.
std::string RenderProgress(ByteCount written, ByteCount total, double elapsed_seconds,
                           int width = 0);

}  // namespace torvane::cli
