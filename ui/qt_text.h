#pragma once

// The core speaks UTF-8 std::string; Qt speaks QString. One conversion each way.

#include <QString>
#include <string>
#include <string_view>

namespace torvane::ui {

inline QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string S(const QString& text) { return text.toStdString(); }

}  // namespace torvane::ui
