// Name and size of the file a job makes, and the job's number conversions.

#include <cmath>
#include <limits>

#include "common/number_locale.h"
#include "common/text.h"
#include "engine/file_creator.h"
#include "engine/messages.h"
#include "engine/number_text.h"

namespace torvane::FileCreator {
namespace {

constexpr ByteCount kKiB = 1024;
constexpr ByteCount kMiB = 1024 * kKiB;
constexpr ByteCount kGiB = 1024 * kMiB;
constexpr ByteCount kTiB = 1024 * kGiB;

struct Unit {
  const char* prefix;
  ByteCount bytes;
};
// The window's list offers the first four; terabytes come from the command line.
constexpr Unit kUnits[] = {
    {"Byte_", 1}, {"KB_", kKiB}, {"MB_", kMiB}, {"GB_", kGiB}, {"TB_", kTiB}};

// Typed length (fixed point, four decimals) times the unit, still in fixed
// point. Bytes to megabytes multiply exactly in 64 bits; gigabytes and
// terabytes are multiplied in double precision and rounded back to four
// decimals.
bool ScaleByUnit(FixedPoint4 length, int unit, FixedPoint4& bytes) {
  if (unit < 3) return !__builtin_mul_overflow(length, kUnits[unit].bytes, &bytes);
  const double product = static_cast<double>(length) / kFixedPointScale *
                         static_cast<double>(kUnits[unit].bytes) * kFixedPointScale;
  const double rounded = std::nearbyint(product);
  // 2^63 is the first double beyond the range; NaN fails the test too.
  if (!(rounded < 9223372036854775808.0)) return false;
  bytes = static_cast<FixedPoint4>(rounded);
  return true;
}

// Whole bytes from fixed point: the nearest whole byte, a half rounding up
// (1.5 bytes make 2, 0.3 GB make 322,122,547). This is the one place where
// fractional byte counts become whole.
ByteCount WholeBytes(FixedPoint4 bytes) {
  return bytes / kFixedPointScale + (bytes % kFixedPointScale >= kFixedPointScale / 2 ? 1 : 0);
}

JobTarget EmptyFile() {
  JobTarget target;
  target.empty_file = true;
  target.name = kEmptyFileName;
  return target;
}

}  // namespace

const std::vector<Preset>& Presets() {
  static const std::vector<Preset> presets = {
      {"1 kb (1,024 bytes)", "KB_1", 1024},
      {"2 kb (2,048 bytes)", "KB_2", 2 * kKiB},
      {"4 kb (4,096 bytes)", "KB_4", 4 * kKiB},
      {"6 kb (6,144 bytes)", "KB_6", 6 * kKiB},
      {"8 kb (8,192 bytes)", "KB_8", 8 * kKiB},
      {"10 kb (10,240 bytes)", "KB_10", 10 * kKiB},
      {"16 kb (16,384 bytes)", "KB_16", 16 * kKiB},
      {"32 kb (32,768 bytes)", "KB_32", 32 * kKiB},
      {"64 kb (65,536 bytes)", "KB_64", 64 * kKiB},
      {"128 kb (131,072 bytes)", "KB_128", 128 * kKiB},
      {"256 kb (262,144 bytes)", "KB_256", 256 * kKiB},
      {"512 kb (524,288 bytes)", "KB_512", 512 * kKiB},
      {"1 mb (1,048,576 bytes)", "MB_1", 1 * kMiB},
      {"2 mb (2,097,152 bytes)", "MB_2", 2 * kMiB},
      {"3 mb (3,145,728 bytes)", "MB_3", 3 * kMiB},
      {"4 mb (4,194,304 bytes)", "MB_4", 4 * kMiB},
      {"5 mb (5,242,880 bytes)", "MB_5", 5 * kMiB},
      {"6 mb (6,291,456 bytes)", "MB_6", 6 * kMiB},
      {"7 mb (7,340,032 bytes)", "MB_7", 7 * kMiB},
      {"8 mb (8,388,608 bytes)", "MB_8", 8 * kMiB},
      {"9 mb (9,437,184 bytes)", "MB_9", 9 * kMiB},
      {"10 mb (10,485,760 bytes)", "MB_10", 10 * kMiB},
      {"1.44 mb (1,457,664 bytes)", "MB_144", 1457664},
      {"720 kb (730,112 bytes)", "KB_720", 730112},
  };
  return presets;
}

const std::vector<std::string>& UnitListTexts() {
  static const std::vector<std::string> texts = {
      "Bytes [ Minimum " + std::to_string(kMinimumLength) + " bytes ]",
      "Kilobytes [ Length  x  1,024 ]",
      "Megabytes [ Length  x  1,048,576 ]",
      "Gigabytes [ Length  x  1,073,741,824 ]",
  };
  return texts;
}

Result<JobTarget> ResolveTarget(const JobSettings& job) {
  if (job.UsePresetSize) {
    const auto& presets = Presets();
    if (job.PresetIndex < 0 || job.PresetIndex >= static_cast<int>(presets.size()))
      return Refuse(PresetOutOfRangeMessage(job.PresetIndex));
    JobTarget target;
    target.name = presets[job.PresetIndex].name;
    target.size = presets[job.PresetIndex].bytes;
    return target;
  }

  if (job.CustomUnit < 0 || job.CustomUnit >= static_cast<int>(std::size(kUnits)))
    return Refuse(UnitOutOfRangeMessage(job.CustomUnit));
  // The window takes a number with blanks around it, so the run must too.
  const std::string_view typed = TrimBlanks(job.CustomLength);
  if (typed.empty() || typed == "0") return EmptyFile();

  const ScaledNumber length = ParseScaledDecimal(typed, 4, UserNumberLocale().decimal_point);
  if (length.status == NumberStatus::NotANumber) return Refuse(LengthNotANumberMessage(typed));
  if (length.status == NumberStatus::TooLarge) return Refuse(LengthTooLargeMessage(typed));
  // A negative length would reach the builders as a negative byte count.
  if (length.value < 0) return Refuse(LengthNegativeMessage(typed));

  FixedPoint4 bytes = 0;
  if (!ScaleByUnit(length.value, job.CustomUnit, bytes))
    return Refuse(LengthTooLargeMessage(typed));
  const ByteCount size = WholeBytes(bytes);
  // "00", "0.0" or a fraction of a byte: the same empty file as "0", never
  // a file named after a zero size.
  if (size == 0) return EmptyFile();

  JobTarget target;
  target.name = std::string(kUnits[job.CustomUnit].prefix).append(typed);
  target.size = size;
  return target;
}

Result<std::int16_t> ConvertByteValue(std::string_view label, const std::string& text) {
  const ScaledNumber number =
      ParseScaledDecimal(TrimBlanks(text), 0, UserNumberLocale().decimal_point);
  if (number.status == NumberStatus::NotANumber)
    return Refuse(ByteValueNotANumberMessage(label, text));
  if (number.status == NumberStatus::TooLarge ||
      number.value < std::numeric_limits<std::int16_t>::min() ||
      number.value > std::numeric_limits<std::int16_t>::max())
    return Refuse(ByteValueOutOfRangeMessage(label, text));
  return static_cast<std::int16_t>(number.value);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (path.empty() || kPathSeparators.find(path.back()) == std::string_view::npos)
    path.push_back(kPathSeparator);
  return path.append(name);
}

std::string JoinJobPath(const std::string& folder, const std::string& name) {
  return JoinPath(folder, name).append(".dat");
}

}  // namespace torvane::FileCreator
