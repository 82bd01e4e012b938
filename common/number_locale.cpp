#include "common/number_locale.h"

namespace torvane {
namespace {
NumberLocale g_locale;
}

const NumberLocale& UserNumberLocale() { return g_locale; }
void SetUserNumberLocale(NumberLocale locale) { g_locale = std::move(locale); }

std::string FormatThousands(std::int64_t value) {
  // Work on the magnitude as unsigned so that INT64_MIN formats too.
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  if (negative) out.push_back('-');
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += g_locale.group_separator;
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace torvane
