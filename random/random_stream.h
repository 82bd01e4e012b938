#pragma once

// Random bytes in bulk for a thread of their own: a command-line run makes
// its content on a second thread while the first one writes. Unlike cPrng a
// stream never yields, never looks at StopFlag and shows no box, so it may
// run away from the UI thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace torvane {

class RandomStream {
 public:
  // The stream of the provider in force (CurrentCryptoProvider()), or
  // nullptr when it cannot be had. Opened on the UI thread; from then on one
  // thread at a time reads it, and nothing else draws from the provider
  // until it is gone.
  [[nodiscard]] static std::unique_ptr<RandomStream> Open();
  virtual ~RandomStream() = default;
  // Writes over `out` the next out.size() random bytes. False when the
  // source fails; what it gives after that is not to be used.
  [[nodiscard]] virtual bool Next(std::span<std::uint8_t> out) = 0;
};

// What cPrng::BuildWithinRange(out.size(), low, high, 3) hands out for
// low < high, taking from `stream` exactly the bytes it takes from its
// provider (whole blocks of 4,096, the first one fresh), so that a seeded
// stream gives the same bytes both ways. False when the stream fails or
// `quit` turns true.
[[nodiscard]] bool DrawWithinRange(RandomStream& stream, std::uint8_t low, std::uint8_t high,
                                   std::span<std::uint8_t> out, const std::atomic<bool>& quit);

}  // namespace torvane
