#include "ui/numeric_text.h"

#include <cmath>

#include "common/number_locale.h"
#include "common/text.h"
#include "engine/number_text.h"

namespace torvane::ui {
namespace {

// The window reads numbers exactly as the run will, so that a box it accepts
// never fails when the job starts. The value is the number rounded to
// `decimals` places, a half to the even digit; one too large for the run
// compares as an infinity of its sign, so every comparison has an answer.
std::optional<double> Value(std::string_view text, int decimals) {
  text = TrimBlanks(text);
  const FileCreator::ScaledNumber number =
      FileCreator::ParseScaledDecimal(text, decimals, UserNumberLocale().decimal_point);
  switch (number.status) {
    case FileCreator::NumberStatus::NotANumber:
      return std::nullopt;
    case FileCreator::NumberStatus::TooLarge:
      return text.starts_with('-') ? -HUGE_VAL : HUGE_VAL;
    case FileCreator::NumberStatus::Ok:
      break;
  }
  return static_cast<double>(number.value) / std::pow(10.0, decimals);
}

}  // namespace

bool IsNumeric(std::string_view text) { return Value(text, 0).has_value(); }

std::optional<double> NumericValue(std::string_view text) { return Value(text, 4); }

std::optional<double> ComparedValue(std::string_view text) { return Value(text, 0); }

}  // namespace torvane::ui
