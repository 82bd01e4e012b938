#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/job.h"

namespace torvane {

// Case conversion of single-byte text, one byte per character: the engine's
// records, the keys cPrng compares without case, and the words the front
// ends read. Besides the ASCII letters, the letter pairs of Windows-1252
// convert too (Š/š, Œ/œ, Ž/ž, Ÿ/ÿ and À..Þ/à..þ except ×/÷), because that is
// the single-byte code page whose text these records imitate. Bytes without
// a partner in that code page (ß, µ, ƒ, the controls, CR and LF) stay as
// they are, so a conversion never changes a record's length or its line end.
using CaseTable = std::array<std::uint8_t, 256>;

// Converts the bytes in place; CaseConversion::None leaves them.
void ConvertCase(std::span<std::uint8_t> bytes, CaseConversion conversion);

// A lower-case copy of the text.
std::string LowerCase(std::string_view text);

}  // namespace torvane
