#pragma once

#include <cstdint>

namespace torvane {

// Sizes, file positions and progress: signed so that -1 can mean "unknown",
// 64-bit so that files beyond 4 GiB work.
using ByteCount = std::int64_t;

// A size computed from typed text is carried as fixed point with four
// decimals (the count times 10000) until it becomes whole bytes.
using FixedPoint4 = std::int64_t;
inline constexpr FixedPoint4 kFixedPointScale = 10000;

}  // namespace torvane
