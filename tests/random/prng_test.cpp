#include "random/prng.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <new>
#include <numeric>
#include <set>

#include "common/pseudo_random.h"
#include "common/stop_flag.h"
#include "tests/support/fake_crypto.h"
#include "tests/support/fakes.h"

namespace torvane {

// Reaches the private members the tests pin down.
struct PrngTestAccess {
  static std::string BuildSeedString(cPrng& p, std::int32_t n) { return p.BuildSeedString(n); }
  static RndResult Hex(cPrng& p, std::string_view data) {
    return p.ConvertDataToHex(3, data, true);
  }
};

namespace {

using namespace testing;

bool Empty(const RndResult& r) { return std::holds_alternative<std::monostate>(r); }

struct PrngTest : ::testing::Test {
  bool Within(int n, int l, int h, int f = 3) { return Empty(prng.BuildWithinRange(n, l, h, f)); }

  RecordingMessageBoxes boxes;
  FakeCryptoProvider provider;
  cPrng prng;  // acquires its provider on first use, so rows may still be set
};

// Pearson's statistic of the samples against a uniform spread over [low,
// high]; infinite when a sample falls outside.
double ChiSquare(const std::vector<int>& samples, int low, int high) {
  const auto outside = [&](int s) { return s < low || s > high; };
  if (std::any_of(samples.begin(), samples.end(), outside)) return INFINITY;
  const double expected = static_cast<double>(samples.size()) / (high - low + 1);
  double chi = 0;
  for (int v = low; v <= high; ++v)
    chi += std::pow(std::count(samples.begin(), samples.end(), v) - expected, 2) / expected;
  return chi;
}

const std::string kSha1Abc = "A9993E364706816ABA3E25717850C26C9CD0D89D";

TEST_F(PrngTest, CreateHashOfAbcGivesThePublishedDigestAsTextAndAsPairs) {
  // clang-format off
  const std::string digests[] = {
      "DA853B0D3F88D99B30283A69E6DED6BB", "A448017AAF21D8525FC10AE87AA6729D",
      "900150983CD24FB0D6963F7D28E17F72", kSha1Abc,
      "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
      "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA1"
      "34C825A7",
      "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C23"
      "A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"};
  // clang-format on
  for (int code = 0; code < 7; ++code) {
    const std::string& hex = digests[code];
    EXPECT_EQ(std::get<std::string>(prng.CreateHash("abc", code, true)), hex);
    const auto pairs = std::get<std::vector<std::string>>(prng.CreateHash("abc", code, false));
    EXPECT_EQ(std::pair(pairs.size(), pairs.back()), std::pair(hex.size() / 2 + 1, std::string()));
    EXPECT_EQ(std::accumulate(pairs.begin(), pairs.end(), std::string()), hex);
  }
}

// Rows 1 and 2 offer SHA-2; with only rows 3 and 4 the seed text is a whole
// SHA-1 (40 digits) and code 6 stands for SHA-1. Making an object clears
// StopFlag, and one that never acquired a provider releases none. A failing
// generator stops the run without a box; with the flag set a request
// returns at once.
TEST_F(PrngTest, ProviderRowsLifetimeAndAFailingGenerator) {
  const std::string seed = "000002EE00000384";  // ticks 1000 make the seed pair 750, 900
  for (int first_working = 1; first_working <= 4; ++first_working) {
    FakeTicks ticks;
    provider.first_row = first_working;
    cPrng prng;
    const std::string text = PrngTestAccess::BuildSeedString(prng, 40);
    EXPECT_EQ(prng.AES_Ready(), first_working <= 2);
    const auto full = std::get<std::string>(prng.CreateHash(seed, 6, true));
    EXPECT_TRUE(prng.AES_Ready()
                    ? full.size() == 128 && full.find(text) != std::string::npos
                    : text == full && prng.CreateHash("abc", 6, true) == RndResult(kSha1Abc));
  }
  provider.released = 0;
  StopFlag = true;
  EXPECT_FALSE(cPrng().StopProcessing());
  EXPECT_EQ(provider.released, 0);
  (void)cPrng().AES_Ready();  // only the acquisition and the release matter here
  EXPECT_EQ(provider.released, 1);
  provider.generator_fails = true;
  EXPECT_TRUE(Empty(prng.BuildRndData(4, 3)) && StopFlag);
  provider.generator_fails = false;
  EXPECT_TRUE(Empty(prng.BuildRndData(4, 3)));
  EXPECT_EQ(provider.generated, 1);
  EXPECT_TRUE(boxes.shown.empty());
}

// Formats from scripted bytes; LongToDouble's ends; a hex conversion that
// finds StopFlag set converts one byte, yields, yields again and gives nothing.
TEST_F(PrngTest, BuildRndDataInEveryFormat) {
  provider.fill = [](auto out) { std::iota(out.begin(), out.end(), std::uint8_t{0xFE}); };
  const std::string raw("\xFE\xFF\x00", 3);
  const std::int32_t w0 = 0x0100FFFE, w1 = 0x05040302, w2 = 0x09080706;  // little-endian words
  const auto real = [&](std::int32_t w) { return prng.LongToDouble(w); };
  // clang-format off
  const std::pair<int, RndResult> rows[] = {
      {0, raw}, {9, raw}, {1, std::string("FEFF00")}, {3, Bytes{0xFE, 0xFF, 0x00, 0x00}},
      {2, std::vector<std::string>{"FE", "FF", "00", ""}}, {4, std::vector{w0, w1, w2, 0}},
      {5, std::vector{real(w0), real(w1), real(w2), 0.0}}};
  // clang-format on
  for (const auto& [format, expected] : rows)
    EXPECT_EQ(prng.BuildRndData(3, format), expected) << format;
  EXPECT_DOUBLE_EQ(real(0), -0.999999999999);
  EXPECT_DOUBLE_EQ(real(-1), 0.999999999999);
  EXPECT_NEAR(real(INT32_MAX), 0.0, 1e-9);
  ScriptedPump pump;
  StopFlag = true;
  EXPECT_TRUE(Empty(PrngTestAccess::Hex(prng, {"\0\xAB\xFF", 3})));
  EXPECT_EQ(pump.count, 2);
  EXPECT_EQ(prng.RemoveTrailingNulls(std::string("abc\0def", 7)), "abc");
}

TEST_F(PrngTest, AStopAtEveryYieldOfARequestReturnsEmptyWithoutABox) {
  // Scripted bytes fix the range scan's length.
  provider.fill = [](auto out) { std::iota(out.begin(), out.end(), std::uint8_t{0}); };
  const std::function<RndResult()> calls[] = {[&] { return prng.BuildRndData(64, 3); },
                                              [&] { return prng.BuildWithinRange(20, 65, 90, 3); }};
  ScriptedPump pump;
  const auto stopping_at = [&](std::int64_t k, const std::function<RndResult()>& call) {
    std::tie(StopFlag, pump.count, pump.stop_at) = std::tuple(false, 0, k);
    return Empty(call());
  };
  for (const auto& call : calls) {
    ASSERT_FALSE(stopping_at(-1, call));
    const std::int64_t total = pump.count;
    ASSERT_GT(total, 40);
    for (std::int64_t k = 1; k <= total; ++k) EXPECT_TRUE(stopping_at(k, call)) << k;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

// Statistics with generous bounds, far beyond the one-in-a-million quantile.
TEST_F(PrngTest, BuildWithinRangeAndGetRndValueAreUniformOverTheirRanges) {
  for (auto [low, high] : {std::pair{0, 1}, {254, 255}, {48, 57}, {65, 90}, {0, 200}}) {
    const Bytes bytes = std::get<Bytes>(prng.BuildWithinRange(100000, low, high, 3));
    ASSERT_EQ(bytes.size(), 100001u);
    const double df = high - low, bound = df + 10 * std::sqrt(2 * df) + 10;
    EXPECT_LT(ChiSquare({bytes.begin(), bytes.end()}, low, high), bound) << low << ".." << high;
  }
  EXPECT_EQ(std::get<std::string>(prng.BuildWithinRange(10, 65, 90, 1)).size(), 10u);
  // GetRndValue truncates both ends, includes them, and gives the low end
  // when it is not below the high one.
  for (auto [lo, hi, want] : {std::tuple{5., 5., 5}, {7., 3., 7}, {2.9, 2.1, 2}, {-3.9, -3.1, -3}})
    EXPECT_EQ(prng.GetRndValue(lo, hi), want);
  for (auto [low, high] : {std::pair{1, 6}, {-3, 3}, {-10, -7}, {1000, 1001}}) {
    std::vector<int> values(6000);
    for (int& v : values) v = prng.GetRndValue(low, high);
    EXPECT_LT(ChiSquare(values, low, high), 40.0) << low << ".." << high;
  }
  prng.GetRndValue(INT32_MIN, INT32_MAX);  // a span of 2^32: every word is taken
  EXPECT_FALSE(StopFlag);
}

// Under the production yield the scan takes blocks of bytes at once; it must
// keep what the byte-by-byte scan keeps, which the tests' pump forces.
TEST_F(PrngTest, BuildWithinRangeBlockScanKeepsWhatTheByteScanKeeps) {
  auto run = [this](bool every_yield) {
    std::uint32_t state = 1;  // the same scripted bytes for both scans
    const auto next = [&] { return static_cast<std::uint8_t>((state = state * 69069 + 1) >> 24); };
    provider.fill = [&](auto out) { std::generate(out.begin(), out.end(), next); };
    const auto pump = every_yield ? std::make_unique<ScriptedPump>() : nullptr;
    provider.generated = 0;
    return std::pair{prng.BuildWithinRange(5000, 48, 57, 3), provider.generated};
  };
  EXPECT_EQ(run(false), run(true));
  // Only 4095 of each 4096 bytes count: 4092 hits take two draws.
  provider.fill = [](auto out) { std::fill(out.begin(), out.end(), 'A'); };
  provider.generated = 0;
  EXPECT_EQ(std::get<Bytes>(prng.BuildWithinRange(4091, 65, 90, 3)).size(), 4092u);
  EXPECT_EQ(provider.generated, 2);
}

// Counts the draws, which tell the passes apart.
struct CountingRandom : XoshiroRandom {
  double Next() override {
    ++draws;
    return XoshiroRandom::Next();
  }
  int draws = 0;
  ScopedServices scope{[this](Services& s) { s.pseudo_random = this; }};
};

TEST_F(PrngTest, NonRepeatingNbrsAndReshuffleData) {
  EXPECT_EQ(prng.NonRepeatingNbrs(5, 1, 10, -2, true), (std::vector{1, 3, 5, 7, 9, 0}));
  const auto picked = prng.NonRepeatingNbrs(20, -50, 100, 5);
  ASSERT_EQ(picked.size(), 21u);
  EXPECT_FALSE(std::is_sorted(picked.begin(), picked.end() - 1));
  const std::set<int> distinct(picked.begin(), picked.end() - 1);
  EXPECT_EQ(std::pair(distinct.size(), picked.back()), std::pair(std::size_t{20}, 0));
  for (int v : distinct) EXPECT_TRUE(v >= -50 && v <= 100 && (v + 50) % 5 == 0) << v;

  const Values sorted{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, "spare"};
  for (auto [mix, passes] : {std::pair{0, 15}, {-4, 15}, {1, 1}, {99, 99}, {500, 99}}) {
    Values data = sorted;
    CountingRandom counting;
    prng.ReshuffleData(data, mix);
    EXPECT_EQ(counting.draws, 3 + passes * 10) << mix;  // the re-seed draws three
    EXPECT_NE(data, sorted);
    std::sort(data.begin(), data.end() - 1);
    EXPECT_EQ(data, sorted);
  }
}

// Numbers sort numerically and before texts, texts by their byte values
// (0xE9 after z); the spare stays where it is.
TEST_F(PrngTest, CombSortAndRemoveDupes) {
  for (bool up : {true, false}) {
    Values data(101, -1.0), expected = data;  // the spare -1 would lead if it were sorted
    for (int i = 0; i < 100; ++i) {
      data[i] = (i * 37) % 100 * 1.0;
      expected[i] = up ? i : 99.0 - i;
    }
    EXPECT_TRUE(prng.CombSort(data, up));
    EXPECT_EQ(data, expected);
    Values two{2.0, 1.0, 0.0};
    EXPECT_TRUE(prng.CombSort(two, up));
    EXPECT_EQ(two, up ? (Values{1.0, 2.0, 0.0}) : (Values{2.0, 1.0, 0.0}));
  }
  const std::tuple<Values, bool, Values, int> rows[] = {
      {{"b", "A", "a", "c", ""}, false, {"A", "b", "c", ""}, 1},
      {{"b", "A", "a", "c", ""}, true, {"A", "a", "b", "c", ""}, 0},
      {{"A", "B", "a", ""}, false, {"A", "B", ""}, 1},  // equal items apart
      {{"\xE9", "b", " a ", "", "a", "  ", ""}, true, {" a ", "b", "\xE9", ""}, 1},  // blanks go
      {{3.0, 10.0, 3.0, "3", 0.0}, true, {3.0, 10.0, ""}, 2},
      // Windows-1252 pairs beyond ASCII: Š/š, É/é, Ÿ/ÿ; × and ÷ are no pair.
      {{"\xFF", "\x9A", "\xC9", "\xF7", "\x8A", "\xE9", "\xD7", "\x9F", ""},
       false,
       {"\x8A", "\x9F", "\xC9", "\xD7", "\xF7", ""},
       3},
  };
  for (auto [data, case_sensitive, kept, dupes] : rows) {
    std::int32_t removed = -1;
    EXPECT_TRUE(prng.RemoveDupes(data, case_sensitive, removed));
    EXPECT_EQ(std::pair(data, removed), std::pair(kept, dupes));
  }
  ScriptedPump pump;  // a stop while sorting leaves the array whole, without a box
  pump.stop_at = 3;
  Values data{"c", "b", "a", "a", "d", ""};
  EXPECT_FALSE(prng.RemoveDupes(data));
  EXPECT_EQ(data.size(), 6u);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PrngTest, IsArrayInitializedEmptyCollectionAndSwapLong) {
  EXPECT_NE(prng.IsArrayInitialized(RndResult(Bytes(3))), 0);
  EXPECT_NE(prng.IsArrayInitialized(Values(1)), 0);
  for (const RndResult& none : {RndResult(), RndResult(Bytes()), RndResult("ab")})
    EXPECT_EQ(prng.IsArrayInitialized(none), 0);

  struct Recording : Collection {
    explicit Recording(std::vector<int>& log) : log(log) {}
    void Remove(std::int32_t index) override {
      log.push_back(index);
      Collection::Remove(index);
    }
    std::vector<int>& log;
  };
  std::vector<int> log;
  std::unique_ptr<Collection> items = std::make_unique<Recording>(log);
  for (const char* item : {"x", "y", "z"}) items->Add(item);
  prng.EmptyCollection(items);
  EXPECT_EQ(log, (std::vector{3, 2, 1}));
  EXPECT_FALSE(items);

  std::int32_t a = 5, b = -9;
  prng.SwapLong(a, b);
  prng.SwapLong(a, a);
  EXPECT_EQ(std::pair(a, b), std::pair(-9, 5));
}

// Every box cPrng shows, byte for byte, whether it stops the run, and the
// empty result that goes with it. Boxes that name their location have no
// icon; the others (a fault's own description) the exclamation icon.
struct Box {
  std::function<bool(PrngTest&)> call;  // arranges, calls, and tells the result is the empty one
  std::string text;
  bool stops = false;
};
void PrintTo(const Box& box, std::ostream* os) {
  *os << ::testing::PrintToString(box.text) << (box.stops ? ", stops" : "");
}
// The first words of the box's text, and the row: "FailedToHashData_17".
std::string BoxName(const ::testing::TestParamInfo<Box>& info) {
  const std::string& text = info.param.text;
  std::string name;
  int words = 0;
  bool in_word = false;
  for (char c : text.substr(0, text.find_first_of(".\r"))) {
    const bool letter = std::isalnum(static_cast<unsigned char>(c)) != 0;
    if (letter && !in_word && ++words > 8) break;
    if (letter) name += in_word ? c : static_cast<char>(std::toupper(c));
    in_word = letter;
  }
  return name + "_" + std::to_string(info.index);
}
struct EveryBox : PrngTest, ::testing::WithParamInterface<Box> {};

TEST_P(EveryBox, ShownByteForByte) {
  EXPECT_TRUE(GetParam().call(*this));
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{GetParam().text});
  const bool located = GetParam().text.find("\r\n\r\nclsRandom.") != std::string::npos;
  EXPECT_EQ(boxes.shown[0].icon, located ? MsgIcon::None : MsgIcon::Exclamation);
  EXPECT_EQ(StopFlag, GetParam().stops);
}

std::string Line(std::string text) { return text.append(60 - text.size(), ' '); }
std::string Header(const char* qty, const char* min, const char* max) {
  return Line(std::string("Items to be returned:") + qty) + "\r\n" +
         Line(std::string("Minimum value:") + min) + "\r\n" +
         Line(std::string("Maximum value:") + max);
}
const std::string kRange = "\r\n\r\nclsRandom.BuildWithinRange";
const std::string kNbrs = "\r\n\r\nclsRandom.NonRepeatingNbrs";
// clang-format off
const std::string kLong = "Incoming data must fall within the range of a long integer.\r\n"
    "        Min    -2,147,483,648\r\n        Max     2,147,483,647\r\n\r\nclsRandom.GetRndValue";
INSTANTIATE_TEST_SUITE_P(Random, EveryBox, ::testing::Values(
    // BuildWithinRange, in the order it checks.
    Box{[](auto& t) { return t.Within(0, -1, 300, 4); }, "Long Integer and Double precision arrays "
        "\r\nare not valid return formats." + kRange},
    Box{[](auto& t) { return t.Within(0, -1, 300); }, "The length of the return data must be\r\n"
        "greater than zero.\r\n\r\nReturn length - 0" + kRange},
    Box{[](auto& t) { return t.Within(10, -1, 300); }, "The minimum range value must be a positive"
        "\r\nvalue of 0-254.\r\n\r\nCurrent Min - -1" + kRange},
    Box{[](auto& t) { return t.Within(10, 0, 0); }, "The maximum range value must be a positive"
        "\r\nvalue of 1-255.\r\n\r\nCurrent Max - 0" + kRange},
    Box{[](auto& t) { return t.Within(10, 90, 65); }, "The minimum range value must be less than"
        "\r\nthe maximum range value.\r\n\r\nCurrent Min - 90\r\nCurrent Max - 65" + kRange},
    // The full-range shortcut is BuildRndData, refusal included.
    Box{[](auto& t) { return t.Within(0, 0, 255); },
        "Return data length must be greater than zero."},
    // GetRndValue: either end outside 32 bits, or not a number.
    Box{[](auto& t) { return t.prng.GetRndValue(0, 3e9) == 0; }, kLong},
    Box{[](auto& t) { return t.prng.GetRndValue(3e9, 5) == 0; }, kLong},
    Box{[](auto& t) { return t.prng.GetRndValue(NAN, 5) == 0; }, kLong},
    // NonRepeatingNbrs and the arrays.
    Box{[](auto& t) { return t.prng.NonRepeatingNbrs(0, 1, 10).empty(); },
        "Need to request at least one value to be returned." + kNbrs},
    Box{[](auto& t) { return t.prng.NonRepeatingNbrs(3, 5, 5).empty(); },
        "Minimum value cannot exceed or equal maximum value.\r\n\r\n" +
        Header("     3", "               5", "               5") + kNbrs},
    Box{[](auto& t) { return t.prng.NonRepeatingNbrs(6, 1, 10, 2).empty(); },
        "Return quantity exceeds number of items produced.\r\n\r\n" +
        Header("     6", "               1", "              10") + "\r\n" +
        Line("Items produced:               5") + kNbrs},
    Box{[](auto& t) { return t.prng.NonRepeatingNbrs(2, 1, 2) == std::vector{1, 2, 0}; },
        "Invalid amount of data in array.\r\nElement count:  1\r\n\r\nclsRandom.ReshuffleData"},
    Box{[](auto& t) { Values none; t.prng.ReshuffleData(none); return none.empty(); },
        "Incoming array has not been properly prepared.\r\n\r\nclsRandom.ReshuffleData"},
    Box{[](auto& t) { Values none; return !t.prng.RemoveDupes(none); },
        "Incoming array has not been properly initialized.\r\n\r\nclsRandom.RemoveDupes"},
    // The provider and the hash steps fail.
    Box{[](auto& t) { t.provider.first_row = 5; return Empty(t.prng.BuildRndData(8, 3)); },
        "An unknown error occurred while retrieving\r\nCryptoAPI provider handle.\r\n\r\n"
        "clsRandom.GetProviderHandle", true},
    Box{[](auto& t) { return Empty(t.prng.CreateHash("abc", 7)); },
        "Failed to create hash object key.\r\n\r\nclsRandom.CreateHash", true},
    Box{[](auto& t) { t.provider.failing_step = 1; return Empty(t.prng.CreateHash("abc")); },
        "Failed to hash data.\r\n\r\nclsRandom.CreateHash", true},
    Box{[](auto& t) { t.provider.failing_step = 2; return Empty(t.prng.BuildRndData(4, 3)); },
        "Failed to retrieve hashed data.\r\n\r\nclsRandom.CreateHash", true},
    // Faults: overflow and allocation, with their own description.
    // The length with its 16 bytes of surplus (four bytes a word) must fit.
    Box{[](auto& t) { return Empty(t.prng.BuildRndData(0x7FFFFFF0, 3)); }, "Overflow", true},
    Box{[](auto& t) { return Empty(t.prng.BuildRndData(0x1FFFFFFC, 4)); }, "Overflow", true},
    Box{[](auto& t) { return t.Within(0x7FFFFFFC, 65, 90); }, "Overflow", true},
    Box{[](auto& t) {
          t.provider.fill = [](auto) { throw std::bad_alloc(); };
          return Empty(t.prng.BuildRndData(16, 3)); }, "Out of memory", true}),
    BoxName);
// clang-format on

}  // namespace
}  // namespace torvane
