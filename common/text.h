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

// The separator the system writes between a folder and a name, and those it
// reads as one (Windows takes both).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The last component of `path`: what follows its last separator.
inline std::string_view BaseName(std::string_view path) {
  const auto at = path.find_last_of(kPathSeparators);
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

}  // namespace torvane
