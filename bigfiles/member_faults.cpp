#include "bigfiles/member_faults.h"

#include <cerrno>
#include <climits>
#include <system_error>

#include "common/error_box.h"

namespace torvane::bigfiles_detail {
namespace {

#ifdef _WIN32
// MAX_PATH (PATH_MAX there) is no limit: a long name is opened with the
// \\?\ prefix, up to 32,767 UTF-16 units.
constexpr std::size_t kLongestName = 32767;
#else
constexpr std::size_t kLongestName = PATH_MAX;
#endif

}  // namespace

void ReportFailure(std::string_view description, std::string_view member, int system_error) {
  FailureBox(LocatedMessage(description, kErrorSource, member), system_error);
}

std::string LastSystemError() { return std::generic_category().message(errno); }

void CheckFileName(const std::string& strFileName) {
  if (strFileName.empty()) throw MemberFault("The file name is empty.");
  if (strFileName.size() >= kLongestName) throw MemberFault("The file name is too long.");
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
