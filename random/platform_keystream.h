#pragma once

// The seeded stream's ChaCha20 as each platform has it: OpenSSL's on Linux
// (several times faster than ours, and the seeded run must keep pace with the
// system generator), random/chacha20.h on Windows, whose CNG has no
// ChaCha20. Both give the same bytes; defined beside each system provider.

#include <cstdint>
#include <memory>
#include <span>

namespace torvane {

class PlatformKeystream {
 public:
  // The keystream from block `counter` on, or nullptr when the library fails.
  [[nodiscard]] static std::unique_ptr<PlatformKeystream> Open(
      std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
      std::uint32_t counter);
  virtual ~PlatformKeystream() = default;
  // Writes over `out` the next out.size() bytes; false when the library fails.
  [[nodiscard]] virtual bool Next(std::span<std::uint8_t> out) = 0;
};

}  // namespace torvane
