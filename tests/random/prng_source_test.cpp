#include <gtest/gtest.h>

#include <numeric>

#include "common/stop_flag.h"
#include "tests/random/fake_crypto_provider.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using testing::FakeCryptoProvider;
using testing::RecordingMessageBoxes;
using testing::ScriptedPump;

const std::string kSha1Abc = "A9993E364706816ABA3E25717850C26C9CD0D89D";

class CreateHashKnownAnswer : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(CreateHashKnownAnswer, AbcGivesThePublishedDigestAsTextAndAsPairs) {
  cPrng prng;
  const auto& [code, hex] = GetParam();
  EXPECT_EQ(std::get<std::string>(prng.CreateHash("abc", code, true)), hex);
  const auto pairs = std::get<std::vector<std::string>>(prng.CreateHash("abc", code, false));
  ASSERT_EQ(pairs.size(), hex.size() / 2 + 1);
  EXPECT_EQ(pairs.back(), "");
  EXPECT_EQ(std::accumulate(pairs.begin(), pairs.end(), std::string()), hex);
}

INSTANTIATE_TEST_SUITE_P(
    AllSeven, CreateHashKnownAnswer,
    ::testing::Values(
        std::pair{0, "DA853B0D3F88D99B30283A69E6DED6BB"},
        std::pair{1, "A448017AAF21D8525FC10AE87AA6729D"},
        std::pair{2, "900150983CD24FB0D6963F7D28E17F72"}, std::pair{3, kSha1Abc},
        std::pair{4, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        std::pair{5,
                  "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC"
                  "2358BAECA134C825A7"},
        std::pair{6,
                  "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1"
                  "A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"}));

TEST(Provider, RowsDecideShaTwoAndTheSeedTextsHash) {
  const std::string seed = "000002EE00000384";  // ticks 1000 make the seed pair 750, 900
  for (int first_working = 1; first_working <= 4; ++first_working) {
    testing::FakeTicks ticks;
    FakeCryptoProvider provider;
    for (int r = 0; r < 4; ++r) provider.row_works[r] = r + 1 >= first_working;
    cPrng prng;
    const std::string text = PrngTestAccess::BuildSeedString(prng, 40);
    EXPECT_EQ(prng.AES_Ready(), first_working <= 2);
    const auto full = std::get<std::string>(prng.CreateHash(seed, 6, true));  // SHA-1 without SHA-2
    if (prng.AES_Ready())
      EXPECT_TRUE(full.size() == 128 && full.find(text) != std::string::npos);
    else
      EXPECT_TRUE(text == full && prng.CreateHash("abc", 6, true) == RndResult(kSha1Abc));
  }
}

TEST(Provider, ReleasedOnlyWhenAcquiredAndMakingAnObjectClearsStop) {
  FakeCryptoProvider provider;
  StopFlag = true;
  { EXPECT_FALSE(cPrng().StopProcessing()); }
  EXPECT_EQ(provider.released, 0);
  { cPrng().AES_Ready(); }
  EXPECT_EQ(provider.acquired, 1);
  EXPECT_EQ(provider.released, 1);
}

TEST(BuildRndData, EveryFormatFromScriptedBytes) {
  FakeCryptoProvider provider;
  provider.fill = [](std::span<std::uint8_t> out) { std::iota(out.begin(), out.end(), 0xFE); };
  cPrng prng;
  const std::string raw("\xFE\xFF\x00", 3);
  const std::int32_t w0 = 0x0100FFFE, w1 = 0x05040302, w2 = 0x09080706;  // little-endian words
  const std::pair<int, RndResult> rows[] = {
      {0, raw},
      {9, raw},
      {1, std::string("FEFF00")},
      {2, std::vector<std::string>{"FE", "FF", "00", ""}},
      {3, Bytes{0xFE, 0xFF, 0x00, 0x01}},
      {4, std::vector<std::int32_t>{w0, w1, w2, 0}},
      {5, std::vector<double>{prng.LongToDouble(w0), prng.LongToDouble(w1), prng.LongToDouble(w2),
                              0}}};
  for (const auto& [format, expected] : rows)
    EXPECT_EQ(prng.BuildRndData(3, format), expected) << format;
}

TEST(BuildRndData, AFailingGeneratorStopsWithoutABoxAndASetFlagReturnsAtOnce) {
  RecordingMessageBoxes boxes;
  FakeCryptoProvider provider;
  provider.generator_fails = true;
  cPrng prng;
  EXPECT_EQ(prng.BuildRndData(4, 3), RndResult());
  EXPECT_TRUE(StopFlag);
  provider.generator_fails = false;
  EXPECT_EQ(prng.BuildRndData(4, 3), RndResult());
  EXPECT_EQ(provider.generated, 1);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(Stop, AtEveryYieldOfARequestReturnsEmptyWithoutABox) {
  FakeCryptoProvider provider;  // scripted bytes fix the range scan's length
  provider.fill = [](std::span<std::uint8_t> out) {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i * 7);
  };
  const std::function<RndResult(cPrng&)> calls[] = {
      [](cPrng& p) { return p.BuildRndData(64, 3); },
      [](cPrng& p) { return p.BuildWithinRange(20, 65, 90, 3); }};
  for (const auto& call : calls) {
    ScriptedPump pump;
    RecordingMessageBoxes boxes;
    cPrng prng;
    ASSERT_NE(call(prng), RndResult());
    const std::int64_t total = pump.count;
    ASSERT_GT(total, 40);
    for (std::int64_t k = 1; k <= total; ++k) {
      StopFlag = false;
      pump.count = 0;
      pump.stop_at = k;
      EXPECT_EQ(call(prng), RndResult()) << k;
    }
    EXPECT_TRUE(boxes.shown.empty());
  }
}

TEST(Conversions, LongToDoubleHexAndBytes) {
  cPrng prng;
  EXPECT_DOUBLE_EQ(prng.LongToDouble(0), -0.999999999999);
  EXPECT_DOUBLE_EQ(prng.LongToDouble(-1), 0.999999999999);
  EXPECT_NEAR(prng.LongToDouble(INT32_MAX), 0.0, 1e-9);

  const std::string three("\x00\xAB\xFF", 3);
  EXPECT_EQ(PrngTestAccess::ConvertDataToHex(prng, 2, three, true), RndResult("00AB"));
  EXPECT_EQ(PrngTestAccess::ConvertDataToHex(prng, 2, three, false),
            RndResult(std::vector<std::string>{"00", "AB", ""}));
  {
    ScriptedPump pump;
    StopFlag = true;  // the first byte, its yield, then the closing yield
    EXPECT_EQ(PrngTestAccess::ConvertDataToHex(prng, 3, three, true), RndResult());
    EXPECT_EQ(pump.count, 2);
  }
  EXPECT_EQ(prng.RemoveTrailingNulls(std::string("abc\0def", 7)), "abc");
}

}  // namespace
}  // namespace torvane
