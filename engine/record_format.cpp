#include "engine/record_format.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/case_mapping.h"
#include "common/text.h"

namespace torvane::FileCreator {
namespace {

#if defined(__SSE2__)
// The two digits of each of 16 bytes, as pairs_ holds them: a nibble
// above 9 gets `letters` added beyond '0' + 10 (7 for A-F, 39 for a-f).
void HexPairs16(const std::uint8_t* source, std::uint8_t* to, __m128i letters) {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  auto digits = [&](__m128i n) {
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(n, _mm_set1_epi8(9)), letters);
    return _mm_add_epi8(_mm_add_epi8(n, _mm_set1_epi8('0')), letter);
  };
  const __m128i high = digits(_mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
  const __m128i low = digits(_mm_and_si128(bytes, nibble));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(high, low));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), _mm_unpackhi_epi8(high, low));
}
#endif

}  // namespace

RecordFormat::RecordFormat(bool hex, CaseConversion letters)
    : hex_(hex), converts_(letters != CaseConversion::None) {
  for (int b = 0; b < 256; ++b) {
    pairs_[b] = {static_cast<std::uint8_t>(kHexDigits[b >> 4]),
                 static_cast<std::uint8_t>(kHexDigits[b & 15])};
    ConvertCase(pairs_[b], letters);
    case_[b] = static_cast<std::uint8_t>(b);
  }
  ConvertCase(case_, letters);
}

void RecordFormat::Format(const std::uint8_t* source, std::span<std::uint8_t> out) const {
  const std::size_t length = out.size();
  const std::size_t content = length >= 2 ? length - 2 : length;
  std::uint8_t* to = out.data();
  if (hex_) {
    const std::size_t whole = content / 2;
    std::size_t done = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, the last block overlapping the one before:
    // with the table alone the maker thread fell behind a tmpfs write.
    if (whole >= 16) {
      const __m128i letters = _mm_set1_epi8(static_cast<char>(pairs_[10][1] - '0' - 10));
      for (; done + 16 <= whole; done += 16) HexPairs16(source + done, to + 2 * done, letters);
      if (done < whole) HexPairs16(source + whole - 16, to + 2 * (whole - 16), letters);
      done = whole;
    }
#endif
    for (std::size_t i = done; i < whole; ++i) std::memcpy(to + 2 * i, pairs_[source[i]].data(), 2);
    if (content % 2 != 0) to[content - 1] = pairs_[source[whole]][0];
  } else if (converts_) {
    for (std::size_t i = 0; i < content; ++i) to[i] = case_[source[i]];
  } else {
    std::copy_n(source, content, to);
  }
  if (content < length) {
    to[content] = '\r';
    to[content + 1] = '\n';
  }
}

}  // namespace torvane::FileCreator
