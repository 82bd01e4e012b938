#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "common/job.h"

namespace torvane::FileCreator {

// Case conversion of record bytes, one byte per character as the records
// carry them. Besides the ASCII letters, the letter pairs of Windows-1252
// convert too (Š/š, Œ/œ, Ž/ž, Ÿ/ÿ and À..Þ/à..þ except ×/÷), because that is
// the single-byte code page whose text these records imitate. Bytes without
// a partner in that code page (ß, µ, ƒ, the controls, CR and LF) stay as
// they are, so a conversion never changes a record's length or its line end.
using CaseTable = std::array<std::uint8_t, 256>;

// Converts the bytes in place; CaseConversion::None leaves them.
void ConvertCase(std::span<std::uint8_t> bytes, CaseConversion conversion);

}  // namespace torvane::FileCreator
