#include "random/chacha20.h"

#include <algorithm>
#include <bit>

namespace torvane {
namespace {

std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Store32(std::uint32_t v, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// inline: GCC at -O2 would call it otherwise, at half the speed.
inline void QuarterRound(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d) {
  a += b, d = std::rotl(d ^ a, 16);
  c += d, b = std::rotl(b ^ c, 12);
  a += b, d = std::rotl(d ^ a, 8);
  c += d, b = std::rotl(b ^ c, 7);
}

// "expand 32-byte k", the key, the counter and the nonce, all little-endian.
std::array<std::uint32_t, 16> InitialState(std::span<const std::uint8_t, 32> key,
                                           std::uint32_t counter,
                                           std::span<const std::uint8_t, 12> nonce) {
  std::array<std::uint32_t, 16> s{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
  for (int i = 0; i < 8; ++i) s[4 + i] = Load32(key.data() + 4 * i);
  s[12] = counter;
  for (int i = 0; i < 3; ++i) s[13 + i] = Load32(nonce.data() + 4 * i);
  return s;
}

// Twenty rounds (ten column and diagonal pairs), then the input added back.
void Block(const std::array<std::uint32_t, 16>& state, std::span<std::uint8_t, 64> out) {
  std::array<std::uint32_t, 16> x = state;
  for (int i = 0; i < 10; ++i) {
    QuarterRound(x[0], x[4], x[8], x[12]), QuarterRound(x[1], x[5], x[9], x[13]);
    QuarterRound(x[2], x[6], x[10], x[14]), QuarterRound(x[3], x[7], x[11], x[15]);
    QuarterRound(x[0], x[5], x[10], x[15]), QuarterRound(x[1], x[6], x[11], x[12]);
    QuarterRound(x[2], x[7], x[8], x[13]), QuarterRound(x[3], x[4], x[9], x[14]);
  }
  for (int i = 0; i < 16; ++i) Store32(x[i] + state[i], out.data() + 4 * i);
}

// The next block: OpenSSL carries into the following word only, which makes
// a 64-bit counter in effect.
void Advance(std::array<std::uint32_t, 16>& state) {
  if (++state[12] == 0) ++state[13];
}

}  // namespace

void ChaCha20Block(std::span<const std::uint8_t, 32> key, std::uint32_t counter,
                   std::span<const std::uint8_t, 12> nonce, std::span<std::uint8_t, 64> out) {
  Block(InitialState(key, counter, nonce), out);
}

ChaCha20Stream::ChaCha20Stream(std::span<const std::uint8_t, 32> key,
                               std::span<const std::uint8_t, 12> nonce, std::uint32_t counter)
    : state_(InitialState(key, counter, nonce)) {}

ChaCha20Stream::~ChaCha20Stream() {
  // The key (a seed's digest) and what it gave need not outlive the stream.
  volatile std::uint32_t* words = state_.data();
  for (std::size_t i = 0; i < state_.size(); ++i) words[i] = 0;
  volatile std::uint8_t* bytes = block_.data();
  for (std::size_t i = 0; i < block_.size(); ++i) bytes[i] = 0;
}

void ChaCha20Stream::NextBlock() {
  Block(state_, block_);
  Advance(state_);
  used_ = 0;
}

void ChaCha20Stream::Generate(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    if (used_ == block_.size()) {
      // Whole blocks go straight to the caller, without a copy.
      while (out.size() >= block_.size()) {
        Block(state_, out.first<64>());
        Advance(state_);
        out = out.subspan(64);
      }
      if (out.empty()) return;
      NextBlock();
    }
    const std::size_t n = std::min(out.size(), block_.size() - used_);
    std::copy_n(block_.begin() + used_, n, out.begin());
    used_ += n;
    out = out.subspan(n);
  }
}

}  // namespace torvane
