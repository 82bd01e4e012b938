#include "engine/number_text.h"

#include <limits>

namespace torvane::FileCreator {
namespace {

constexpr std::uint64_t kMaxMagnitude = std::numeric_limits<std::int64_t>::max();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// magnitude = magnitude * 10 + digit; false when it leaves the int64 range.
bool PushDigit(std::uint64_t& magnitude, int digit) {
  if (magnitude > (kMaxMagnitude - static_cast<std::uint64_t>(digit)) / 10) return false;
  magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit);
  return true;
}

}  // namespace

ScaledNumber ParseScaledDecimal(std::string_view text, int decimals,
                                std::string_view decimal_point) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  std::uint64_t magnitude = 0;
  bool fits = true;
  int digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits)
    fits = fits && PushDigit(magnitude, text[i] - '0');

  int seen = 0;           // fraction digits typed
  int first_dropped = 0;  // the first fraction digit beyond the scale
  bool rest_nonzero = false;
  if (!decimal_point.empty() && text.substr(i).starts_with(decimal_point)) {
    i += decimal_point.size();
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits, ++seen) {
      const int d = text[i] - '0';
      if (seen < decimals)
        fits = fits && PushDigit(magnitude, d);
      else if (seen == decimals)
        first_dropped = d;
      else if (d != 0)
        rest_nonzero = true;
    }
  }
  if (i != text.size() || digits == 0) return {NumberStatus::NotANumber, 0};

  for (int kept = seen; kept < decimals; ++kept) fits = fits && PushDigit(magnitude, 0);
  const bool round_up =
      first_dropped > 5 || (first_dropped == 5 && (rest_nonzero || (magnitude & 1) != 0));
  if (round_up) {
    if (magnitude >= kMaxMagnitude)
      fits = false;
    else
      ++magnitude;
  }
  if (!fits) return {NumberStatus::TooLarge, 0};
  const auto value = static_cast<std::int64_t>(magnitude);
  return {NumberStatus::Ok, negative ? -value : value};
}

}  // namespace torvane::FileCreator
