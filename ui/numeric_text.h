#pragma once

// How the window reads the numbers typed into its boxes.

#include <optional>
#include <string_view>

namespace torvane::ui {

// A number: blanks around, an optional sign, digits with at most one decimal
// separator (the user's), at least one digit. "" and "1e3" are not numbers.
[[nodiscard]] bool IsNumeric(std::string_view text);

// The number's value to four decimals; empty for a text that is not a number.
[[nodiscard]] std::optional<double> NumericValue(std::string_view text);

// The value a comparison uses: the number rounded to the nearest whole one,
// a half to the even one (2.5 -> 2, 3.5 -> 4). Empty for a text that is not
// a number. Values beyond 16 bits are kept as they are rather than failing,
// so that every comparison has an answer.
[[nodiscard]] std::optional<double> ComparedValue(std::string_view text);

}  // namespace torvane::ui
