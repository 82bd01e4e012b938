#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/number_locale.h"

namespace torvane::cli {
namespace {

constexpr int kBarWidth = 20;

std::string Rate(double bytes_per_second) {
  static const char* const kUnits[] = {"B/s", "KB/s", "MB/s", "GB/s"};
  int unit = 0;
  while (bytes_per_second >= 1024.0 && unit < 3) {
    bytes_per_second /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", bytes_per_second, kUnits[unit]);
  return text;
}

std::string Duration(double seconds) {
  const long long whole = static_cast<long long>(std::ceil(seconds));
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

}  // namespace

std::string RenderProgress(ByteCount written, ByteCount total, double elapsed_seconds, int width) {
  if (written < 0) written = 0;
  if (total > 0 && written > total) written = total;
  const double fraction =
      total > 0 ? static_cast<double>(written) / static_cast<double>(total) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);

  std::string bar = "[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  bar += "] ";
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100.0));
  const std::string bytes = std::string(percent) + "  " + FormatThousands(written) + " / " +
                            FormatThousands(total) + " bytes";
  std::string rate, left;
  if (elapsed_seconds > 0.0 && written > 0) {
    const double per_second = static_cast<double>(written) / elapsed_seconds;
    rate = "  " + Rate(per_second);
    if (written < total)
      left = "  " + Duration(static_cast<double>(total - written) / per_second) + " left";
  }
  // Columns, not bytes: a group separator may take several bytes of UTF-8.
  const auto columns = [](std::string_view text) {
    return static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  const int room = width - 1;
  const std::string candidates[] = {bar + bytes + rate + left, bar + bytes + rate, bar + bytes,
                                    bytes};
  for (const std::string& line : candidates)
    if (width <= 0 || columns(line) <= room) return line;
  return bytes.substr(0, static_cast<std::size_t>(std::max(room, 0)));
}

}  // namespace torvane::cli
