#pragma once

#include <string>
#include <string_view>

namespace torvane {

enum class MsgIcon { None, Exclamation };

// A modal box with one OK button. The window shows it with Qt; the command
// line prints it; tests record it.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(std::string_view text, MsgIcon icon, std::string_view title) = 0;
};

// The application title carried by every box without a title of its own.
const std::string& AppTitle();
void SetAppTitleText(std::string title);

// Installs the box implementation (nullptr: boxes go to standard error).
// Returns the previous one.
MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes);

// Shows a box; an empty title means the application title.
void MsgBox(std::string_view text, MsgIcon icon = MsgIcon::None, std::string_view title = {});

// The report an object writes itself for a rejected argument or a failed
// system call: the description, a blank line, then "<source>.<member>".
std::string LocatedMessage(std::string_view description, std::string_view source,
                           std::string_view member);

class ScopedMessageBoxes {
 public:
  explicit ScopedMessageBoxes(MessageBoxes* boxes) : previous_(InstallMessageBoxes(boxes)) {}
  ~ScopedMessageBoxes() { InstallMessageBoxes(previous_); }
  ScopedMessageBoxes(const ScopedMessageBoxes&) = delete;
  ScopedMessageBoxes& operator=(const ScopedMessageBoxes&) = delete;

 private:
  MessageBoxes* previous_;
};

}  // namespace torvane
