#include "random/seeded_provider.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "random/prng.h"
#include "tests/random/seeded_stream.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

// Each format takes exactly the bytes it shows (4 a word), so successive
// calls read the keystream on without a gap, whatever cPrng passes as
// additional input (its clock-derived text); the spare is 0, not a byte; an
// unknown format is format 0. No bytes for handle 0.
TEST(SeededCryptoProvider, BuildRndDataReadsTheKeystreamInOrderInEveryFormat) {
  const Bytes stream = FromHex(kTorvaneStream);
  ASSERT_EQ(Keystream(kTorvaneKey, std::string(24, '0'), 0, 64), stream);
  Seeded seeded("torvane");
  cPrng prng;
  Bytes first(stream.begin(), stream.begin() + 32);
  first.push_back(0);
  const auto text = [&](int from) { return std::string(&stream[from], &stream[from + 4]); };
  // Bytes 40 on are a2 6b f3 90 ba a7 ec 8d, then the words 1e898c4e,
  // 8fda0477, a43be8f8 and c589fa98, little-endian.
  const std::pair<std::function<RndResult()>, RndResult> calls[] = {
      {[&] { return prng.BuildRndData(32, 3); }, first},
      {[&] { return prng.BuildRndData(4, 0); }, text(32)},
      {[&] { return prng.BuildRndData(4, 9); }, text(36)},
      {[&] { return prng.BuildRndData(4, 1); }, std::string("A26BF390")},
      {[&] { return prng.BuildRndData(4, 2); },
       std::vector<std::string>{"BA", "A7", "EC", "8D", ""}},
      {[&] { return prng.BuildRndData(2, 4); }, std::vector{0x1E898C4E, -0x7025FB89, 0}},
      {[&] { return prng.BuildRndData(2, 5); },
       std::vector{prng.LongToDouble(-0x5BC41708), prng.LongToDouble(-0x3A760568), 0.0}}};
  for (std::size_t i = 0; i < std::size(calls); ++i)
    EXPECT_EQ(calls[i].first(), calls[i].second) << i;
  Bytes none(4);
  EXPECT_FALSE(seeded.provider.GenRandom(0, {}, none));
}

// BuildWithinRange draws whole 4096-byte blocks, each call a fresh one,
// looks at all but their last byte and returns the first n + 1 (n and the
// spare) of the n + 5 in-range bytes it holds; what follows reads on at the
// next block. The production yield's block scan keeps what the tests' pump
// makes it keep byte by byte.
TEST(SeededCryptoProvider, BuildWithinRangeSpendsWholeBlocks) {
  constexpr std::size_t kBlock = 4096, kBlocks = 8;
  const Bytes stream = Keystream(kTorvaneKey, std::string(24, '0'), 0, kBlock * kBlocks);
  for (bool every_yield : {false, true}) {
    Seeded seeded("torvane");
    std::optional<testing::ScriptedPump> pump;
    if (every_yield) pump.emplace();
    cPrng prng;
    std::size_t block = 0;
    // 0..254 keeps nearly all, so skipping each block's last byte shows.
    for (auto [n, low, high] : {std::tuple{5000, 0, 254}, {20, 65, 90}, {3000, 128, 255}}) {
      const std::size_t held = static_cast<std::size_t>(n) + 5;
      Bytes kept;
      for (; kept.size() < held; ++block) {
        ASSERT_LT(block, kBlocks);
        for (std::size_t i = 0; i + 1 < kBlock && kept.size() < held; ++i)
          if (const std::uint8_t b = stream[block * kBlock + i]; b >= low && b <= high)
            kept.push_back(b);
      }
      kept.resize(held - 4);  // the spare is the next one held
      EXPECT_EQ(std::get<Bytes>(prng.BuildWithinRange(n, low, high, 3)), kept) << low;
    }
    EXPECT_EQ(block, 5u);
    const auto next = stream.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
    EXPECT_EQ(std::get<std::string>(prng.BuildRndData(16, 0)), std::string(next, next + 16));
  }
}

}  // namespace
}  // namespace torvane
