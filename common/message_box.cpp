#include "common/message_box.h"

#include <cstdio>
#include <system_error>

namespace torvane {
namespace {

std::string g_title = "Torvane";
MessageBoxes* g_boxes = nullptr;

}  // namespace

const std::string& AppTitle() { return g_title; }
void SetAppTitleText(std::string title) { g_title = std::move(title); }

MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes) {
  MessageBoxes* previous = g_boxes;
  g_boxes = boxes;
  return previous;
}

void MsgBox(std::string_view text, MsgIcon icon, std::string_view title) {
  if (title.empty()) title = g_title;
  if (g_boxes != nullptr) {
    g_boxes->Show(text, icon, title);
    return;
  }
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(text.size()), text.data());
}

void FailureBox(std::string_view text, int system_error) {
  if (system_error == 0 || g_boxes == nullptr) {
    MsgBox(text);
    return;
  }
  const std::string reason = std::generic_category().message(system_error);
  g_boxes->ShowFailure(text, reason, MsgIcon::None, g_title);
}

std::string LocatedMessage(std::string_view description, std::string_view source,
                           std::string_view member) {
  std::string text;
  text.reserve(description.size() + source.size() + member.size() + 5);
  text.append(description).append("\r\n\r\n").append(source).append(".").append(member);
  return text;
}

}  // namespace torvane
