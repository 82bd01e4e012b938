#pragma once

// Small text helpers that every layer shares.

#include <string_view>

namespace torvane {

// The text without the blanks around it: spaces and tabs, or the characters
// `blanks` names.
inline std::string_view TrimBlanks(std::string_view text, std::string_view blanks = " \t") {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Hexadecimal digits by value. Upper case: records, converted data and
// file sizes all show them so.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace torvane
