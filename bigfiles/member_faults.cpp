#include "bigfiles/member_faults.h"

#include <cerrno>
#include <climits>
#include <system_error>

#include "common/error_box.h"
#include "common/text.h"

namespace torvane::bigfiles_detail {

void ReportFailure(std::string_view description, std::string_view member, int system_error) {
  FailureBox(LocatedMessage(description, kErrorSource, member), system_error);
}

std::string LastSystemError() { return std::generic_category().message(errno); }

void CheckFileName(const std::string& strFileName) {
  if (strFileName.empty()) throw MemberFault("The file name is empty.");
  // Windows: 32,767 through the \\?\ prefix that the file layer adds, not MAX_PATH.
  if (strFileName.size() >= (kPathSeparator == '\\' ? 32767 : PATH_MAX))
    throw MemberFault("The file name is too long.");
  if (strFileName.find('\0') != std::string::npos)
    throw MemberFault("The file name contains a NUL character.");
}

void ShowFault(std::exception_ptr error) noexcept {
  try {
    MsgBox(DescribeException(error), MsgIcon::Exclamation);
  } catch (...) {
    // Nothing left to tell the user with; the member still returns normally.
  }
}

}  // namespace torvane::bigfiles_detail
