#include "ui/numeric_text.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>

#include "common/number_locale.h"

namespace torvane::ui {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The number in C form ("-12.5", "7.", ".5"), or "" when the text is not a number.
std::string Canonical(std::string_view text) {
  text = TrimBlanks(text);
  const std::string_view separator = UserNumberLocale().decimal_point;
  std::string out;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    if (text.front() == '-') out.push_back('-');
    text.remove_prefix(1);
  }
  bool digits = false;
  bool point = false;
  while (!text.empty()) {
    if (text.front() >= '0' && text.front() <= '9') {
      out.push_back(text.front());
      digits = true;
      text.remove_prefix(1);
    } else if (!point && !separator.empty() && text.starts_with(separator)) {
      out.push_back('.');
      point = true;
      text.remove_prefix(separator.size());
    } else {
      return {};
    }
  }
  return digits ? out : std::string();
}

}  // namespace

bool IsNumeric(std::string_view text) { return !Canonical(text).empty(); }

std::optional<double> NumericValue(std::string_view text) {
  const std::string canonical = Canonical(text);
  if (canonical.empty()) return std::nullopt;
  // from_chars ignores the C locale, which a Qt program sets from the user's.
  double value = 0;
  const auto parsed = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Too many digits before the point overflow; too many zeros after it underflow.
    const auto whole = canonical.substr(0, canonical.find('.'));
    const bool large = whole.find_first_of("123456789") != std::string::npos;
    value = !large ? 0.0 : canonical.front() == '-' ? -HUGE_VAL : HUGE_VAL;
  }
  return value;
}

std::optional<double> ComparedValue(std::string_view text) {
  const std::optional<double> value = NumericValue(text);
  if (!value) return std::nullopt;
  // nearbyint rounds halves to even under the default rounding mode.
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(*value);
  std::fesetround(saved);
  return rounded;
}

}  // namespace torvane::ui
