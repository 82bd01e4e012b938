#include "common/case_mapping.h"

namespace torvane {
namespace {

// The upper-case letters of Windows-1252 beyond ASCII and their lower-case
// partners (0xDF ß and 0xB5 µ have no upper case in the code page).
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 4> kExtraPairs = {
    {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}}};

constexpr CaseTable MakeTable(bool to_lower) {
  CaseTable table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  auto pair = [&](int upper, int lower) {
    if (to_lower)
      table[upper] = static_cast<std::uint8_t>(lower);
    else
      table[lower] = static_cast<std::uint8_t>(upper);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) pair(c, c + 0x20);  // 0xD7 × and 0xF7 ÷ are no letters
  for (auto [upper, lower] : kExtraPairs) pair(upper, lower);
  return table;
}

constexpr CaseTable kLower = MakeTable(true);
constexpr CaseTable kUpper = MakeTable(false);

}  // namespace

void ConvertCase(std::span<std::uint8_t> bytes, CaseConversion conversion) {
  if (conversion == CaseConversion::None) return;
  const CaseTable& table = conversion == CaseConversion::Lower ? kLower : kUpper;
  for (auto& b : bytes) b = table[b];
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(kLower[static_cast<std::uint8_t>(c)]);
  return lower;
}

}  // namespace torvane
