// cPrng: hexadecimal digits and the byte/text conversions.

#include <algorithm>

#include "common/stop_flag.h"
#include "common/text.h"
#include "common/yield.h"
#include "random/prng.h"
#include "random/prng_internal.h"

namespace torvane {

using namespace prng_detail;

RndResult cPrng::ConvertDataToHex(std::int32_t lngLength, std::string_view strData,
                                  bool blnAsText) noexcept {
  try {
    const std::size_t wanted = static_cast<std::size_t>(std::max(lngLength, 0));
    const std::size_t count = std::min(strData.size(), wanted);
    std::string text;
    std::vector<std::string> pairs;
    if (blnAsText)
      text.assign(static_cast<std::size_t>(CheckedAdd(2 * static_cast<std::int64_t>(wanted), 4)),
                  ' ');
    else
      pairs.resize(wanted + 1);
    for (std::size_t i = 0; i < count; ++i) {
      const auto byte = static_cast<unsigned char>(strData[i]);
      const char digits[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 15]};
      if (blnAsText) {
        text[2 * i] = digits[0];
        text[2 * i + 1] = digits[1];
      } else {
        pairs[i].assign(digits, 2);
      }
      if (i + 1 == wanted) break;
      Yield();
      if (StopFlag) break;
    }
    Yield();
    if (StopFlag) return {};
    if (!blnAsText) return pairs;
    text.resize(2 * wanted);
    return text;
  } catch (...) {
    ReportFault(std::current_exception());
    return {};
  }
}

namespace {
template <class Result, class Copy>
Result CopyOrNothing(Copy copy) noexcept {
  try {
    return copy();
  } catch (...) {
    StopFlag = true;  // only an allocation can fail here
    return Result();
  }
}
}  // namespace

std::string cPrng::ByteArrayToString(const Bytes& abytData) const noexcept {
  return CopyOrNothing<std::string>([&] { return std::string(abytData.begin(), abytData.end()); });
}

Bytes cPrng::StringToByteArray(std::string_view strData) const noexcept {
  return CopyOrNothing<Bytes>([&] { return Bytes(strData.begin(), strData.end()); });
}

std::string cPrng::RemoveTrailingNulls(std::string_view strData) const noexcept {
  return CopyOrNothing<std::string>(
      [&] { return std::string(strData.substr(0, strData.find('\0'))); });
}

}  // namespace torvane
