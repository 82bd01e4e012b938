#include "random/seeded_provider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>

#include "common/services.h"
#include "random/prng.h"
#include "tests/random/seeded_stream.h"

namespace torvane {
namespace {

// RFC 8439, A.1 #1 and #2 (the zero key at counters 0 and 1, here one run
// across the block boundary), #3 (key ending in 01), #5 (nonce ending in 02),
// and the block of 2.3.2 (key 00..1f, counter 1), which fixes byte orders.
TEST(ChaCha20Keystream, ReproducesTheRfc8439Vectors) {
  const std::string zero_key(64, '0'), zero_nonce(24, '0');
  const std::tuple<std::string, std::string, std::uint32_t, std::string> rows[] = {
      {zero_key, zero_nonce, 0,
       "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
       "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"
       "9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
       "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f"},
      {std::string(63, '0') + "1", zero_nonce, 1,
       "3aeb5224ecf849929b9d828db1ced4dd832025e8018b8160b82284f3c949aa5a"
       "8eca00bbb4a73bdad192b5c42f73f2fd4e273644c8b36125a64addeb006c13a0"},
      {zero_key, std::string(23, '0') + "2", 0,
       "c2c64d378cd536374ae204b9ef933fcd1a8b2288b3dfa49672ab765b54ee27c7"
       "8a970e0e955c14f3a88e741b97c286f75f8fc299e8148362fa198a39531bed6d"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "000000090000004a00000000", 1,
       "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
       "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e"},
  };
  for (const auto& [key, nonce, counter, expected] : rows)
    EXPECT_EQ(Keystream(key, nonce, counter, expected.size() / 2), FromHex(expected)) << key;
}

// Each format takes exactly the bytes it shows (4 a word), so successive
// calls read the keystream on without a gap; the spare is 0, not a byte.
TEST(SeededCryptoProvider, BuildRndDataReadsTheKeystreamInOrderInEveryFormat) {
  const Bytes stream = FromHex(kTorvaneStream);
  ASSERT_EQ(Keystream(kTorvaneKey, std::string(24, '0'), 0, 64), stream);
  Seeded seeded("torvane");
  cPrng prng;
  const auto word = [&](std::size_t at) {
    return static_cast<std::int32_t>(stream[at] | stream[at + 1] << 8 | stream[at + 2] << 16 |
                                     static_cast<std::uint32_t>(stream[at + 3]) << 24);
  };
  std::string hex(kTorvaneStream.substr(80, 16));
  std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return std::toupper(c); });
  Bytes first(stream.begin(), stream.begin() + 32);
  first.push_back(0);
  const std::pair<std::function<RndResult()>, RndResult> calls[] = {
      {[&] { return prng.BuildRndData(32, 3); }, first},
      {[&] { return prng.BuildRndData(8, 0); },
       std::string(stream.begin() + 32, stream.begin() + 40)},
      {[&] { return prng.BuildRndData(4, 1); }, hex.substr(0, 8)},
      {[&] { return prng.BuildRndData(4, 2); },
       std::vector<std::string>{hex.substr(8, 2), hex.substr(10, 2), hex.substr(12, 2),
                                hex.substr(14, 2), ""}},
      {[&] { return prng.BuildRndData(2, 4); }, std::vector{word(48), word(52), 0}},
      {[&] { return prng.BuildRndData(2, 5); },
       std::vector{prng.LongToDouble(word(56)), prng.LongToDouble(word(60)), 0.0}},
  };
  for (std::size_t i = 0; i < std::size(calls); ++i)
    EXPECT_EQ(calls[i].first(), calls[i].second) << i;
}

// The same bytes whatever cPrng passes as additional input (its
// clock-derived text), and other bytes for another seed.
TEST(SeededCryptoProvider, SameSeedSameBytesAnotherSeedOthers) {
  const auto draw = [](std::string_view seed) {
    Seeded seeded(seed);
    cPrng prng;
    return std::pair(prng.BuildRndData(1000, 3), prng.BuildWithinRange(1000, 48, 57, 3));
  };
  EXPECT_EQ(draw("torvane"), draw("torvane"));
  EXPECT_NE(draw("torvane").first, draw("torvanf").first);
  EXPECT_NE(draw("").first, draw(" ").first);

  SeededCryptoProvider one("x"), two("x");
  Bytes a(100), b(100);
  EXPECT_TRUE(one.GenRandom(one.Acquire(kProviderRows[0]), "one input", a));
  EXPECT_TRUE(two.GenRandom(two.Acquire(kProviderRows[3]), "another", b));
  EXPECT_EQ(a, b);
  EXPECT_FALSE(one.GenRandom(0, {}, a));
}

// BuildWithinRange draws whole 4096-byte blocks, each call a fresh one,
// looks at all but their last byte and returns the first n + 1 (n and the
// spare) of the n + 5 in-range bytes it holds; what follows reads on at the
// next block.
TEST(SeededCryptoProvider, BuildWithinRangeSpendsWholeBlocks) {
  constexpr std::size_t kBlock = 4096, kBlocks = 8;
  const Bytes stream = Keystream(kTorvaneKey, std::string(24, '0'), 0, kBlock * kBlocks);
  Seeded seeded("torvane");
  cPrng prng;
  std::size_t block = 0;
  // 0..254 keeps nearly all, so skipping each block's last byte shows.
  for (auto [n, low, high] : {std::tuple{5000, 0, 254}, {20, 65, 90}, {3000, 128, 255}}) {
    Bytes kept;
    for (; kept.size() < static_cast<std::size_t>(n) + 5; ++block) {
      ASSERT_LT(block, kBlocks);
      for (std::size_t i = 0; i + 1 < kBlock && kept.size() < static_cast<std::size_t>(n) + 5; ++i)
        if (const std::uint8_t b = stream[block * kBlock + i]; b >= low && b <= high)
          kept.push_back(b);
    }
    kept.resize(static_cast<std::size_t>(n) + 1);  // the spare is the next one held
    EXPECT_EQ(std::get<Bytes>(prng.BuildWithinRange(n, low, high, 3)), kept) << low << ".." << high;
  }
  EXPECT_EQ(block, 5u);
  const Bytes next(stream.begin() + block * kBlock, stream.begin() + block * kBlock + 16);
  EXPECT_EQ(std::get<std::string>(prng.BuildRndData(16, 0)), std::string(next.begin(), next.end()));
}

}  // namespace
}  // namespace torvane
