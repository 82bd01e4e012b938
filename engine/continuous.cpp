// The continuous builder: one unbroken stream of bytes within the range.

#include <span>

#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/builder_run.h"
#include "engine/file_creator.h"
#include "engine/run_state.h"
#include "random/prng.h"

namespace torvane::FileCreator {

using detail::g_run;

namespace {
constexpr std::uint32_t kProgressIntervalMs = 500;
}  // namespace

// Like the fixed-length builder it empties the target first (TargetWriter):
// opening alone would keep the tail of a longer old file beyond TotalBytes.
bool BuildContinuous(std::int16_t LowValue, std::int16_t HighValue) {
  const ByteCount total = g_run.total_bytes;
  return detail::RunBuilder([&](cPrng& prng, detail::TargetWriter& target) {
    detail::ProgressPacer pacer(kProgressIntervalMs);
    while (target.opened() && target.written() < total) {
      Yield();
      if (StopFlag) break;
      const std::int32_t chunk = CalcChunkSize(total - target.written());
      const RndResult drawn = prng.BuildWithinRange(chunk, LowValue, HighValue, 3);
      Yield();
      if (StopFlag) break;
      const Bytes* bytes = std::get_if<Bytes>(&drawn);
      if (prng.IsArrayInitialized(drawn) == 0 || bytes == nullptr ||
          bytes->size() < static_cast<std::size_t>(chunk)) {
        // The random-data object has said why (a range it refuses, say).
        StopFlag = true;
        g_run.failed = true;
        break;
      }
      // The array carries a spare element beyond the chunk.
      if (!target.Write(std::span(bytes->data(), static_cast<std::size_t>(chunk)))) break;
      Yield();
      if (target.written() >= total) break;
      Yield();
      pacer.ShowIfDue(target.written());
    }

    Yield();
    if (StopFlag) return false;
    Yield();
    ShowProgress(target.written());
    return true;
  });
}

}  // namespace torvane::FileCreator
