#pragma once

#include <cstdint>
#include <string>

namespace torvane {

// The user's number conventions: the window takes them from the desktop's
// locale, the command line from LC_NUMERIC.
struct NumberLocale {
  std::string decimal_point = ".";
  std::string group_separator = ",";
  // The grouping a typed number may carry: the locale's own, "" where it
  // has none (C and POSIX group output with "," but take no grouping in).
  std::string typed_group_separator{};
};

// The conventions in force: "." and "," until a front end sets its own.
const NumberLocale& UserNumberLocale();
void SetUserNumberLocale(NumberLocale locale);

// The "#,##0" format: whole number, thousands grouped with the user's separator.
std::string FormatThousands(std::int64_t value);

}  // namespace torvane
