#include "common/pseudo_random.h"

#include <bit>
#include <cstring>

#include "common/services.h"

namespace torvane {
namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

XoshiroRandom g_builtin;

PseudoRandom& Generator() {
  PseudoRandom* generator = CurrentServices().pseudo_random;
  return generator != nullptr ? *generator : g_builtin;
}

}  // namespace

void XoshiroRandom::Reseed(double seed) {
  if (seed == 0.0) seed = 0.0;  // -0.0 and 0.0 are the same seed
  std::uint64_t x = std::bit_cast<std::uint64_t>(seed);
  for (auto& word : s_) word = SplitMix64(x);
}

double XoshiroRandom::Next() {
  const std::uint64_t result = std::rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = std::rotl(s_[3], 45);
  // The top 53 bits make a double in [0, 1).
  return static_cast<double>(result >> 11) * 0x1.0p-53;
}

double Rnd() { return Generator().Next(); }
void RandomizeReseed(double seed) { Generator().Reseed(seed); }

}  // namespace torvane
