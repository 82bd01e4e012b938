#include "random/random_stream.h"

#include <algorithm>
#include <array>

#include "random/crypto_provider.h"
#include "random/range_scan.h"

namespace torvane {
namespace {

using prng_detail::kRangeBlock;
using prng_detail::kRangeExamined;

// A provider's GenRandom through a handle held for the stream's lifetime.
class DrawingStream final : public RandomStream {
 public:
  DrawingStream(CryptoProvider& provider, ProviderHandle handle)
      : provider_(provider), handle_(handle) {}
  ~DrawingStream() override { provider_.Release(handle_); }
  DrawingStream(const DrawingStream&) = delete;
  DrawingStream& operator=(const DrawingStream&) = delete;

  bool Next(std::span<std::uint8_t> out) override { return provider_.GenRandom(handle_, {}, out); }

 private:
  CryptoProvider& provider_;
  ProviderHandle handle_;
};

}  // namespace

std::unique_ptr<RandomStream> CryptoProvider::OpenStream() {
  for (const ProviderRow& row : kProviderRows)
    if (const ProviderHandle handle = Acquire(row); handle != 0)
      return std::make_unique<DrawingStream>(*this, handle);
  return nullptr;
}

std::unique_ptr<RandomStream> RandomStream::Open() { return CurrentCryptoProvider().OpenStream(); }

bool DrawWithinRange(RandomStream& stream, std::uint8_t low, std::uint8_t high,
                     std::span<std::uint8_t> out, const std::atomic<bool>& quit) {
  std::array<std::uint8_t, kRangeBlock> block;
  std::array<std::uint8_t, kRangeExamined> hits;
  // cPrng holds five bytes beyond the request before it stops drawing.
  const std::size_t wanted = out.size() + 5;
  for (std::size_t held = 0; held < wanted;) {
    if (quit.load(std::memory_order_relaxed) || !stream.Next(block)) return false;
    const std::size_t found = prng_detail::KeepInRange({block.data(), kRangeExamined}, low,
                                                       static_cast<std::uint8_t>(high - low), hits);
    if (held < out.size()) {
      const std::size_t take = std::min(found, out.size() - held);
      std::copy_n(hits.begin(), take, out.begin() + static_cast<std::ptrdiff_t>(held));
    }
    held += found;
  }
  return true;
}

}  // namespace torvane
