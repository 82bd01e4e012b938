#include "common/error_box.h"

#include <new>
#include <stdexcept>

#include "common/message_box.h"

namespace torvane {

std::string ErrorBoxText(std::string_view description, std::string_view module,
                         std::string_view procedure, int line) {
  std::string text;
  text.append(description)
      .append("\r\nin ")
      .append(kErrorBoxProject)
      .append(".")
      .append(module)
      .append(".")
      .append(procedure)
      .append(" at line ")
      .append(std::to_string(line))
      .append("\r\r")
      .append("Please email screenshot of this message to ")
      .append(kSupportAddress);
  return text;
}

void ErrorBox(std::string_view description, std::string_view module, std::string_view procedure,
              int line) {
  MsgBox(ErrorBoxText(description, module, procedure, line), MsgIcon::Exclamation, kErrorBoxTitle);
}

std::string DescribeException(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "Unknown error";
}

void ErrorTrap::Report(int line, std::exception_ptr error) noexcept {
  try {
    ErrorBox(DescribeException(error), module_, procedure_, line);
  } catch (...) {
    // Reporting must never take the handler down with it.
  }
}

}  // namespace torvane
