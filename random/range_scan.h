#pragma once

// The scan behind cPrng::BuildWithinRange, shared with the random stream
// that must take the same bytes from a seeded provider (random_stream.h).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvane::prng_detail {

// The range scan draws blocks of this size and examines all but their last byte.
inline constexpr std::size_t kRangeBlock = 4096;
inline constexpr std::size_t kRangeExamined = kRangeBlock - 1;

// Copies, in order, the bytes b of `in` with b - low <= span (mod 256) to
// `out` until it is full; returns how many it copied.
inline std::size_t KeepInRange(std::span<const std::uint8_t> in, std::uint8_t low,
                               std::uint8_t span, std::span<std::uint8_t> out) {
  std::size_t count = 0, i = 0;
#if defined(__SSE2__)
  // 64 at a time into one bit mask: a narrow range has few hits, and this way
  // the loop over them is entered (and mispredicted) once per 64 bytes.
  const __m128i lows = _mm_set1_epi8(static_cast<char>(low));
  const __m128i spans = _mm_set1_epi8(static_cast<char>(span));
  auto hits16 = [&](std::size_t at) -> std::uint64_t {
    const __m128i offsets =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in.data() + at)), lows);
    return static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(offsets, spans), offsets)));
  };
  for (; i + 64 <= in.size() && count < out.size(); i += 64) {
    std::uint64_t hits =
        hits16(i) | hits16(i + 16) << 16 | hits16(i + 32) << 32 | hits16(i + 48) << 48;
    for (; hits != 0 && count < out.size(); hits &= hits - 1)
      out[count++] = in[i + static_cast<std::size_t>(std::countr_zero(hits))];
  }
#endif
  for (; i < in.size() && count < out.size(); ++i) {
    out[count] = in[i];
    count += static_cast<std::uint8_t>(in[i] - low) <= span;
  }
  return count;
}

}  // namespace torvane::prng_detail
