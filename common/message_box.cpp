#include "common/message_box.h"

#include <cstdio>
#include <system_error>

#include "common/services.h"

namespace torvane {
namespace {

std::string g_title = "Torvane";

}  // namespace

const std::string& AppTitle() { return g_title; }
void SetAppTitleText(std::string title) { g_title = std::move(title); }

void MsgBox(std::string_view text, MsgIcon icon, std::string_view title) {
  if (title.empty()) title = g_title;
  if (MessageBoxes* boxes = CurrentServices().boxes) {
    boxes->Show(text, icon, title);
    return;
  }
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
}

void FailureBox(std::string_view text, int system_error) {
  MessageBoxes* boxes = CurrentServices().boxes;
  if (system_error == 0 || boxes == nullptr) {
    MsgBox(text);
    return;
  }
  const std::string reason = std::generic_category().message(system_error);
  boxes->ShowFailure(text, reason, MsgIcon::None, g_title);
}

std::string LocatedMessage(std::string_view description, std::string_view source,
                           std::string_view member) {
  std::string text;
  text.reserve(description.size() + source.size() + member.size() + 5);
  text.append(description).append("\r\n\r\n").append(source).append(".").append(member);
  return text;
}

}  // namespace torvane
