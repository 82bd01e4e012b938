#include "cli/size_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <string_view>

#include "common/case_mapping.h"
#include "common/number_locale.h"
#include "common/text.h"
#include "engine/file_creator.h"

namespace torvane::cli {
namespace {

constexpr ByteCount kLargest = std::numeric_limits<ByteCount>::max();
__extension__ typedef unsigned __int128 Wide;  // room for a product of two counts

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

struct Suffix {
  std::array<const char*, 2> spellings;
  int window_unit;  // the window's unit list index of a binary unit; 0 otherwise
  ByteCount bytes;
};
constexpr Suffix kSuffixes[] = {
    {{"", "b"}, 0, 1},
    {{"k", "kib"}, 1, ByteCount{1} << 10},
    {{"m", "mib"}, 2, ByteCount{1} << 20},
    {{"g", "gib"}, 3, ByteCount{1} << 30},
    {{"t", "tib"}, 4, ByteCount{1} << 40},
    {{"kb", "kb"}, 0, 1000},
    {{"mb", "mb"}, 0, 1000 * 1000},
    {{"gb", "gb"}, 0, 1000 * 1000 * 1000},
    {{"tb", "tb"}, 0, 1000LL * 1000 * 1000 * 1000},
};

// A number as typed: its whole part and its fraction's digits.
struct Number {
  std::string whole;
  std::string fraction;
};

// Reads digits with the user's decimal point ("." is always taken where it
// groups nothing) and the locale's grouping, where it has one, between
// groups of three digits. Returns where the number ends, or npos.
std::size_t ReadNumber(std::string_view text, Number& number) {
  const NumberLocale& locale = UserNumberLocale();
  const std::string& group = locale.typed_group_separator;
  const auto at = [&](std::size_t i, const std::string& what) {
    return !what.empty() && text.substr(i, what.size()) == what;
  };
  std::size_t i = 0;
  bool point = false;
  while (i < text.size()) {
    if (IsDigit(text[i])) {
      (point ? number.fraction : number.whole).push_back(text[i++]);
    } else if (!point && !number.whole.empty() && at(i, group) &&
               text.size() >= i + group.size() + 3 &&
               std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i + group.size()),
                           text.begin() + static_cast<std::ptrdiff_t>(i + group.size() + 3),
                           IsDigit) &&
               (i + group.size() + 3 == text.size() || !IsDigit(text[i + group.size() + 3]))) {
      i += group.size();
    } else if (!point && (at(i, locale.decimal_point) || (text[i] == '.' && group != "."))) {
      point = true;
      i += text[i] == '.' ? 1 : locale.decimal_point.size();
    } else {
      break;
    }
  }
  return number.whole.empty() && number.fraction.empty() ? std::string_view::npos : i;
}

// number x unit, rounded to the nearest byte (a half up); false past the count.
bool Multiply(const Number& number, ByteCount unit, ByteCount& bytes) {
  Wide whole = 0;
  for (char c : number.whole)
    if ((whole = whole * 10 + static_cast<unsigned>(c - '0')) > kLargest) return false;
  Wide total = whole * static_cast<Wide>(unit);
  // The fraction times the unit, in as many digits as it has (at most 19
  // count: more cannot move the byte).
  const std::string digits = number.fraction.substr(0, 19);
  Wide part = 0, scale = 1;
  for (char c : digits) {
    part = part * 10 + static_cast<unsigned>(c - '0');
    scale *= 10;
  }
  const Wide scaled = part * static_cast<Wide>(unit);
  total += scaled / scale + (scaled % scale * 2 >= scale ? 1 : 0);
  if (total > static_cast<Wide>(kLargest)) return false;
  bytes = static_cast<ByteCount>(total);
  return true;
}

}  // namespace

Result<JobSettings> WithSize(const std::string& raw, JobSettings job) {
  const std::string text(TrimBlanks(raw));
  // An offset in bytes after the size: "10MiB+1", "1GB-80".
  const auto sign = text.find_last_of("+-");
  const bool offset = sign != std::string::npos && sign > 0;
  std::string_view base = TrimBlanks(std::string_view(text).substr(0, offset ? sign : text.size()));
  if (!base.empty() && base.front() == '-') return Refuse("must not be negative: " + raw);
  if (!base.empty() && base.front() == '+') base.remove_prefix(1);

  Number number;
  const std::size_t end = ReadNumber(base, number);
  if (end == std::string_view::npos) return Refuse("not a number: " + raw);
  const std::string suffix = LowerCase(TrimBlanks(base.substr(end)));
  const Suffix* unit = nullptr;
  for (const Suffix& each : kSuffixes)
    if (suffix == each.spellings[0] || suffix == each.spellings[1]) unit = &each;
  if (unit == nullptr)
    return Refuse("unknown unit '" + std::string(TrimBlanks(base.substr(end))) +
                  "' (use B, K, M, G, T, KiB ... TiB for powers of 1024, KB ... TB for powers of "
                  "1000)");
  ByteCount size = 0;
  if (!Multiply(number, unit->bytes, size)) return Refuse("too large for a file: " + raw);

  if (offset) {
    const std::string bytes(TrimBlanks(std::string_view(text).substr(sign + 1)));
    ByteCount by = 0;
    const auto [stop, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), by);
    if (bytes.empty() || error != std::errc() || stop != bytes.data() + bytes.size() ||
        !IsDigit(bytes.front()))
      return Refuse("the offset after the size must be a whole number of bytes: " + raw);
    if (text[sign] == '-') by = -by;
    if (__builtin_add_overflow(size, by, &size)) return Refuse("too large for a file: " + raw);
    if (size < 0) return Refuse("must not be negative: " + raw);
  }
  job.UsePresetSize = false;
  // A whole number of the window's units keeps the window's name.
  const bool whole = number.fraction.find_first_not_of('0') == std::string::npos;
  if (unit->window_unit > 0 && whole && !offset) {
    job.CustomUnit = unit->window_unit;
    job.CustomLength = std::to_string(size / unit->bytes);
  } else {
    job.CustomUnit = 0;
    job.CustomLength = std::to_string(size);
  }
  if (const auto target = FileCreator::ResolveTarget(job); !target) return Refuse(target.error());
  return job;
}

Result<ByteCount> SizeInBytes(const std::string& raw) {
  const Result<JobSettings> job = WithSize(raw, {});
  if (!job) return Refuse(job.error());
  return FileCreator::ResolveTarget(*job)->size;
}

}  // namespace torvane::cli
