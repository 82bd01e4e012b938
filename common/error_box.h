#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace torvane {

// The error box's title, the tag its text names the program by, and where
// users send the screenshot.
inline constexpr std::string_view kErrorBoxTitle = "Application Error";
inline constexpr std::string_view kErrorBoxProject = "Torvane2021/08/31";
inline constexpr std::string_view kSupportAddress = "support@torvane.dev";

// The text of the report of an unexpected error in a window handler:
//   <description> CR LF "in Torvane2021/08/31.<module>.<procedure> at line <n>"
//   CR CR "Please email screenshot of this message to <address>"
std::string ErrorBoxText(std::string_view description, std::string_view module,
                         std::string_view procedure, int line);

// Shows the error box (exclamation icon, title "Application Error").
void ErrorBox(std::string_view description, std::string_view module, std::string_view procedure,
              int line);

// The description of an exception caught by a handler.
std::string DescribeException(std::exception_ptr error);

// Runs the statements of one procedure, each under its own trap: a statement
// that throws shows the error box naming its line, and the procedure goes on
// with the next statement. Lines are numbered by the procedure itself, in
// steps of 10 in the order its statements run (10, 20, 30, ...), so that the
// number names the failing statement within that procedure.
class ErrorTrap {
 public:
  // Both texts must outlive the trap: it keeps views of them.
  ErrorTrap(std::string_view module, std::string_view procedure)
      : module_(module), procedure_(procedure) {}

  // Returns true when the statement completed; false once the error box has
  // been shown. A caller may ignore it: the trap has told the user already.
  template <class Statement>
  bool operator()(int line, Statement&& statement) noexcept {
    try {
      statement();
      return true;
    } catch (...) {
      Report(line, std::current_exception());
      return false;
    }
  }

 private:
  void Report(int line, std::exception_ptr error) noexcept;

  std::string_view module_;
  std::string_view procedure_;
};

}  // namespace torvane
