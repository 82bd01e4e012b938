// The continuous builder: one unbroken stream of bytes within the range.

#include <algorithm>
#include <span>
#include <type_traits>

#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/builder_run.h"
#include "engine/file_creator.h"
#include "engine/overlap.h"
#include "engine/run_state.h"
#include "random/prng.h"

namespace torvane::FileCreator {

using detail::g_run;

namespace {
constexpr std::uint32_t kProgressIntervalMs = 500;
}  // namespace

// Like the fixed-length builder it empties the target first (TargetWriter):
// opening alone would keep the tail of a longer old file beyond TotalBytes.
// Zeros or one byte value (and a sparse file being verified or streamed) go
// through the same chunks without drawing; with a compressible share the
// tail of each random chunk is made zero.
bool BuildContinuous(std::int16_t LowValue, std::int16_t HighValue) {
  if (const auto done = detail::BuildOverlapped(false, LowValue, HighValue)) return *done;
  const ByteCount total = g_run.total_bytes;
  // Zeros, a sparse file (read back, or streamed), or one byte value.
  const bool plain = g_run.options.content != ContentKind::Random;
  const std::uint8_t value =
      g_run.options.content == ContentKind::Constant ? g_run.options.constant : 0;
  const int compressible = g_run.options.compressible;
  return detail::RunBuilder(false, [&](cPrng& prng, auto& target) {
    detail::ProgressPacer pacer(kProgressIntervalMs);
    while (target.opened() && target.written() < total) {
      Yield();
      if (StopFlag) break;
      const std::int32_t chunk = CalcChunkSize(total - target.written());
      RndResult drawn = plain ? RndResult(Bytes(static_cast<std::size_t>(chunk) + 1, value))
                              : prng.BuildWithinRange(chunk, LowValue, HighValue, 3);
      Yield();
      if (StopFlag) break;
      Bytes* bytes = std::get_if<Bytes>(&drawn);
      if (prng.IsArrayInitialized(drawn) == 0 || bytes == nullptr ||
          bytes->size() < static_cast<std::size_t>(chunk)) {
        // The random-data object has said why (a range it refuses, say).
        StopFlag = true;
        g_run.failed = true;
        break;
      }
      const auto length = static_cast<std::size_t>(chunk);
      const std::size_t plain = length * static_cast<std::size_t>(compressible) / 100;
      std::fill(bytes->begin() + static_cast<std::ptrdiff_t>(length - plain),
                bytes->begin() + static_cast<std::ptrdiff_t>(length), std::uint8_t{0});
      // The array carries a spare element beyond the chunk.
      if (!target.Write(std::span(bytes->data(), length))) break;
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

// The exact size without any data written. A verifying run reads it back as
// zeros through the continuous builder instead.
bool BuildSparse() {
  const ByteCount total = g_run.total_bytes;
  return detail::RunBuilder(false, [&](cPrng&, auto& target) {
    if constexpr (std::is_same_v<std::decay_t<decltype(target)>, detail::TargetWriter>) {
      if (!target.opened() || !target.Extend(total)) return false;
    }
    Yield();
    if (StopFlag) return false;
    ShowProgress(target.written());
    return true;
  });
}

}  // namespace torvane::FileCreator
