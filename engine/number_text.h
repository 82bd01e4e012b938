#pragma once

#include <cstdint>
#include <string_view>

namespace torvane::FileCreator {

enum class NumberStatus { Ok, NotANumber, TooLarge };

struct ScaledNumber {
  NumberStatus status = NumberStatus::NotANumber;
  std::int64_t value = 0;  // the number times 10^decimals
};

// Reads a typed number: an optional sign, digits, optionally the decimal
// separator and more digits (at least one digit in all; no spaces, no
// grouping). The result is the number times 10^decimals, rounded to the
// nearest, a half to the even one, from every digit typed, so that no
// intermediate rounding can move a value across a half.
[[nodiscard]] ScaledNumber ParseScaledDecimal(std::string_view text, int decimals,
                                              std::string_view decimal_point);

}  // namespace torvane::FileCreator
