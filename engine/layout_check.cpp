// Verifying a file whose random bytes cannot be made again: what its layout
// allows is all there is to check.

#include <array>
#include <type_traits>

#include "common/case_mapping.h"
#include "common/text.h"
#include "engine/builder_run.h"
#include "engine/file_creator.h"
#include "engine/run_state.h"

namespace torvane::FileCreator {

using detail::g_run;

namespace {

// The bytes a file of this job may hold where its content is: the range's
// values (as hexadecimal digits, or themselves) after the case conversion.
std::array<bool, 256> AllowedBytes(std::int16_t low, std::int16_t high, const JobSettings& job) {
  std::array<bool, 256> allowed{};
  std::vector<std::uint8_t> shown;
  if (job.FixedLength && job.HexPairs) {
    for (char c : std::string_view("0123456789ABCDEF"))
      shown.push_back(static_cast<std::uint8_t>(c));
  } else {
    for (int b = std::max<int>(low, 0); b <= std::min<int>(high, 255); ++b)
      shown.push_back(static_cast<std::uint8_t>(b));
  }
  if (job.FixedLength) ConvertCase(shown, job.Case);
  for (std::uint8_t b : shown) allowed[b] = true;
  if (g_run.options.compressible > 0) allowed[0] = true;  // each chunk's plain tail
  return allowed;
}

}  // namespace

bool CheckLayout(std::int16_t LowValue, std::int16_t HighValue, const JobSettings& job) {
  const std::array<bool, 256> allowed = AllowedBytes(LowValue, HighValue, job);
  return detail::RunBuilder(false, [&](cPrng&, auto& target) {
    if constexpr (std::is_same_v<std::decay_t<decltype(target)>, detail::TargetChecker>) {
      if (!target.CheckRules(allowed, job.FixedLength, g_run.total_bytes)) return false;
      ShowProgress(target.written());
      return true;
    } else {
      return false;  // only a verifying run checks
    }
  });
}

}  // namespace torvane::FileCreator
