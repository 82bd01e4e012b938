#include "engine/record_format.h"

#include <algorithm>
#include <cstring>

#include "common/case_mapping.h"
#include "common/text.h"

namespace torvane::FileCreator {

RecordFormat::RecordFormat(bool hex, CaseConversion letters)
    : hex_(hex), converts_(letters != CaseConversion::None) {
  for (int b = 0; b < 256; ++b) {
    pairs_[b] = {static_cast<std::uint8_t>(kHexDigits[b >> 4]),
                 static_cast<std::uint8_t>(kHexDigits[b & 15])};
    ConvertCase(pairs_[b], letters);
    case_[b] = static_cast<std::uint8_t>(b);
  }
  ConvertCase(case_, letters);
}

void RecordFormat::Format(const std::uint8_t* source, std::span<std::uint8_t> out) const {
  const std::size_t length = out.size();
  const std::size_t content = length >= 2 ? length - 2 : length;
  std::uint8_t* to = out.data();
  if (hex_) {
    const std::size_t whole = content / 2;
    for (std::size_t i = 0; i < whole; ++i) std::memcpy(to + 2 * i, pairs_[source[i]].data(), 2);
    if (content % 2 != 0) to[content - 1] = pairs_[source[whole]][0];
  } else if (converts_) {
    for (std::size_t i = 0; i < content; ++i) to[i] = case_[source[i]];
  } else {
    std::copy_n(source, content, to);
  }
  if (content < length) {
    to[content] = '\r';
    to[content + 1] = '\n';
  }
}

}  // namespace torvane::FileCreator
