#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>

#include "common/stop_flag.h"
#include "tests/random/fake_crypto_provider.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using testing::FakeCryptoProvider;
using testing::ScriptedPump;

// Pearson's statistic of the counts against equal expectations over [low, high].
double ChiSquare(const std::map<int, std::int64_t>& counts, int low, int high) {
  std::int64_t total = 0;
  for (const auto& [value, n] : counts) total += n;
  const double expected = static_cast<double>(total) / (high - low + 1);
  double chi = 0;
  for (int v = low; v <= high; ++v) {
    const double n = counts.contains(v) ? static_cast<double>(counts.at(v)) : 0.0;
    chi += (n - expected) * (n - expected) / expected;
  }
  return chi;
}

TEST(BuildWithinRange, EveryByteInRangeAndUniform) {
  cPrng prng;
  for (auto [low, high] : {std::pair{0, 1}, {254, 255}, {48, 57}, {65, 90}, {0, 200}}) {
    const RndResult drawn = prng.BuildWithinRange(100000, low, high, 3);
    const Bytes& bytes = std::get<Bytes>(drawn);
    ASSERT_EQ(bytes.size(), 100001u);
    std::map<int, std::int64_t> counts;
    for (int b : bytes) ++counts[b];
    EXPECT_GE(counts.begin()->first, low);
    EXPECT_LE(counts.rbegin()->first, high);
    // Far beyond the one-in-a-million quantile for any of these ranges.
    const double df = high - low;
    EXPECT_LT(ChiSquare(counts, low, high), df + 10 * std::sqrt(2 * df) + 10)
        << low << ".." << high;
  }
  EXPECT_EQ(std::get<std::string>(prng.BuildWithinRange(10, 65, 90, 1)).size(), 10u);
  EXPECT_EQ(std::get<std::string>(prng.BuildWithinRange(10, 0, 255, 1)).size(), 20u);
}

TEST(BuildWithinRange, BlockScanGivesTheSameBytesAsStepByStep) {
  auto run = [](bool every_yield) {
    FakeCryptoProvider provider;
    std::uint32_t state = 12345;
    provider.fill = [&](std::span<std::uint8_t> out) {
      for (auto& b : out) b = static_cast<std::uint8_t>((state = state * 1103515245 + 12345) >> 23);
    };
    std::optional<ScriptedPump> pump;
    if (every_yield) pump.emplace();
    cPrng prng;
    return std::pair{prng.BuildWithinRange(5000, 48, 57, 3), provider.generated};
  };
  EXPECT_EQ(run(false), run(true));

  FakeCryptoProvider provider;  // only 4095 of each 4096 bytes count: 4096 hits take two draws
  provider.fill = [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 'A'); };
  cPrng prng;
  EXPECT_EQ(std::get<Bytes>(prng.BuildWithinRange(4091, 65, 90, 3)).size(), 4092u);
  EXPECT_EQ(provider.generated, 2);
}

TEST(GetRndValue, TruncatesAndGivesTheLowEndWhenItIsNotBelowTheHighEnd) {
  const std::tuple<double, double, std::int32_t> rows[] = {
      {5, 5, 5}, {7, 3, 7}, {2.9, 2.1, 2}, {-3.9, -3.1, -3}};
  cPrng prng;
  for (auto [low, high, expected] : rows) EXPECT_EQ(prng.GetRndValue(low, high), expected);
}

TEST(GetRndValue, UniformOverTheWholeRangeEndsIncluded) {
  cPrng prng;
  for (auto [low, high] : {std::pair{1, 6}, {-3, 3}, {-10, -7}, {1000, 1001}}) {
    std::map<int, std::int64_t> counts;
    for (int i = 0; i < 6000; ++i) ++counts[prng.GetRndValue(low, high)];
    EXPECT_TRUE(counts.begin()->first >= low && counts.rbegin()->first <= high);
    EXPECT_LT(ChiSquare(counts, low, high), 40.0) << low << ".." << high;
  }
  prng.GetRndValue(INT32_MIN, INT32_MAX);  // a span of 2^32: every word is taken
  EXPECT_FALSE(StopFlag);
}

}  // namespace
}  // namespace torvane
