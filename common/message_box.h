#pragma once

#include <string>
#include <string_view>

namespace torvane {

enum class MsgIcon { None, Exclamation };

// A modal box with one OK button. The window shows it with Qt; the command
// line prints it; tests record it. CurrentServices().boxes; without one,
// boxes go to standard error.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box and returns when it has been dismissed (at once where
  // nobody can dismiss it).
  virtual void Show(std::string_view text, MsgIcon icon, std::string_view title) = 0;
  // A failure of a system call whose reason the system names ("No space left
  // on device"). The window shows the text alone, as it shows every box; the
  // command line adds the reason.
  virtual void ShowFailure(std::string_view text, std::string_view reason, MsgIcon icon,
                           std::string_view title) {
    (void)reason;
    Show(text, icon, title);
  }
};

// The application title carried by every box without a title of its own.
const std::string& AppTitle();
void SetAppTitleText(std::string title);

// Shows a box; an empty title means the application title.
void MsgBox(std::string_view text, MsgIcon icon = MsgIcon::None, std::string_view title = {});

// A box for a failed system call; `system_error` is its errno (0: no reason
// known, and the box is a plain MsgBox).
void FailureBox(std::string_view text, int system_error);

// The report an object writes itself for a rejected argument or a failed
// system call: the description, a blank line, then "<source>.<member>".
std::string LocatedMessage(std::string_view description, std::string_view source,
                           std::string_view member);

}  // namespace torvane
