#pragma once

// ChaCha20 of RFC 8439 in plain C++, for platforms whose crypto library has
// none (CNG). The seeded stream must give the same bytes everywhere, so this
// is pinned to the RFC's vectors and, on Linux, to OpenSSL's stream.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace torvane {

// The 64-byte block for `key`, block `counter` and `nonce`.
void ChaCha20Block(std::span<const std::uint8_t, 32> key, std::uint32_t counter,
                   std::span<const std::uint8_t, 12> nonce, std::span<std::uint8_t, 64> out);

// The keystream from block `counter` on, read in order across calls: what
// one call leaves of a block, the next one starts with. Past block 2^32 - 1
// the counter carries into the nonce's first word, as OpenSSL's does.
class ChaCha20Stream {
 public:
  ChaCha20Stream(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
                 std::uint32_t counter);
  ~ChaCha20Stream();  // wipes the key
  ChaCha20Stream(const ChaCha20Stream&) = delete;
  ChaCha20Stream& operator=(const ChaCha20Stream&) = delete;

  // Writes over `out` the next out.size() keystream bytes.
  void Generate(std::span<std::uint8_t> out);

 private:
  void NextBlock();

  std::array<std::uint32_t, 16> state_;  // constants, key, counter, nonce
  std::array<std::uint8_t, 64> block_;
  std::size_t used_ = 64;  // bytes of block_ already handed out
};

}  // namespace torvane
