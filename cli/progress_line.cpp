#include "cli/progress_line.h"

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

std::string RenderProgress(ByteCount written, ByteCount total, double elapsed_seconds) {
  if (written < 0) written = 0;
  if (total > 0 && written > total) written = total;
  const double fraction =
      total > 0 ? static_cast<double>(written) / static_cast<double>(total) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);

  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100.0));
  line.append("] ").append(percent).append("  ");
  line.append(FormatThousands(written))
      .append(" / ")
      .append(FormatThousands(total))
      .append(" bytes");

  if (elapsed_seconds > 0.0 && written > 0) {
    const double rate = static_cast<double>(written) / elapsed_seconds;
    line.append("  ").append(Rate(rate));
    if (written < total)
      line.append("  ")
          .append(Duration(static_cast<double>(total - written) / rate))
          .append(" left");
  }
  return line;
}

}  // namespace torvane::cli
