#pragma once

// How the members of cBigFiles report what goes wrong inside them. Private to
// bigfiles/: nothing here leaves the library.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "common/message_box.h"

namespace torvane::bigfiles_detail {

inline constexpr std::string_view kErrorSource = "clsBigFiles";

// An error inside a member, with the description the user is shown. It is
// caught by the member in which it arises.
class MemberFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed system call that the object detected itself: the description and
// its location line, no icon; `system_error` (errno, 0 for none) goes along
// as the reason for front ends that show one. The caller sets StopFlag where
// that is due.
void ReportFailure(std::string_view description, std::string_view member, int system_error);

// The description of the last failed call of the file layer.
std::string LastSystemError();

// Throws MemberFault for a name that must not reach the file system: empty,
// longer than a path may be, or cut short by a NUL byte (which would name
// another file).
void CheckFileName(const std::string& strFileName);

// Shows the error's own description with the exclamation icon.
void ShowFault(std::exception_ptr error) noexcept;

// Runs a member's body. An error escaping it is shown with its own
// description and the exclamation icon, `clean_up` runs (it must not throw),
// and the member returns false (or nothing). StopFlag is left alone.
template <class Body, class CleanUp>
auto Guarded(Body&& body, CleanUp&& clean_up) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    ShowFault(std::current_exception());
    clean_up();
    if constexpr (!std::is_void_v<decltype(body())>) return {};
  }
}

}  // namespace torvane::bigfiles_detail
