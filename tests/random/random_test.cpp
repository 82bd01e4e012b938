#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <new>
#include <numeric>
#include <optional>
#include <set>

#include "common/pseudo_random.h"
#include "random/chacha20.h"
#include "random/prng.h"
#include "random/random_stream.h"
#include "tests/random/seeded_stream.h"
#include "tests/support/fake_crypto.h"
#include "tests/support/fakes.h"

namespace torvane {

// Reaches the private members the tests pin down.
struct PrngTestAccess {
  static std::string BuildSeedString(cPrng& p, std::int32_t n) { return p.BuildSeedString(n); }
  static RndResult Hex(cPrng& p, std::string_view d) { return p.ConvertDataToHex(3, d, true); }
};

namespace {

using namespace testing;

bool Empty(const RndResult& r) { return std::holds_alternative<std::monostate>(r); }

// Boxes recorded, a provider that fails on demand, and an object that
// acquires it on first use, so that its rows may still be set.
struct Bench {
  bool Within(int n, int l, int h, int f = 3) { return Empty(prng.BuildWithinRange(n, l, h, f)); }

  RecordingMessageBoxes boxes;
  FakeCryptoProvider provider;
  cPrng prng;
};
struct PrngTest : ::testing::Test, Bench {};

// "abc" through each code: the published digest's first digits and its
// length tell the algorithm; the pairs form holds the same digits.
// Then LongToDouble's ends; a hex conversion that finds StopFlag set converts one
// byte, yields, yields again and gives nothing. (The formats of BuildRndData
// are read from a known keystream below.)
TEST_F(PrngTest, CreateHashLongToDoubleHexAndNulls) {
  const std::pair<std::string, std::size_t> digests[] = {
      {"DA853B0D", 32}, {"A448017A", 32}, {"90015098", 32}, {"A9993E36", 40},
      {"BA7816BF", 64}, {"CB00753F", 96}, {"DDAF35A1", 128}};
  for (int code = 0; code < 7; ++code) {
    const auto hex = std::get<std::string>(prng.CreateHash("abc", code, true));
    EXPECT_EQ(std::pair(hex.substr(0, 8), hex.size()), digests[code]) << code;
    const auto pairs = std::get<std::vector<std::string>>(prng.CreateHash("abc", code, false));
    EXPECT_EQ(std::accumulate(pairs.begin(), pairs.end(), std::string()), hex);
  }
  EXPECT_DOUBLE_EQ(prng.LongToDouble(0), -0.999999999999);
  EXPECT_DOUBLE_EQ(prng.LongToDouble(-1), 0.999999999999);
  EXPECT_NEAR(prng.LongToDouble(INT32_MAX), 0.0, 1e-9);
  ScriptedPump pump;
  StopFlag = true;
  EXPECT_TRUE(Empty(PrngTestAccess::Hex(prng, {"\0\xAB\xFF", 3})));
  EXPECT_EQ(pump.count, 2);
  EXPECT_EQ(prng.RemoveTrailingNulls(std::string("abc\0def", 7)), "abc");
}

// Rows 1 and 2 offer SHA-2; with only rows 3 and 4 the seed text is a whole
// SHA-1 (40 digits) and codes 4 to 6 stand for SHA-1. Making an object clears
// StopFlag, and one that never acquired a provider releases none. A failing
// generator stops the run without a box; with the flag set a request
// returns at once.
// A stopped request gives nothing (NonRepeatingNbrs {0, 0}), whichever yield
// the click comes at.
TEST_F(PrngTest, ProviderRowsLifetimeFailuresAndAStopAtEveryYield) {
  for (int first_working = 1; first_working <= 4; ++first_working) {
    FakeTicks ticks;
    provider.first_row = first_working;
    cPrng prng;
    const std::string text = PrngTestAccess::BuildSeedString(prng, 40);
    EXPECT_EQ(prng.AES_Ready(), first_working <= 2);
    // Ticks 1000 make the seed pair 750, 900.
    const auto full = std::get<std::string>(prng.CreateHash("000002EE00000384", 6, true));
    EXPECT_TRUE(prng.AES_Ready() ? full.size() == 128 && full.find(text) != std::string::npos
                                 : text == full && prng.CreateHash("abc", 4, true) ==
                                                       prng.CreateHash("abc", 3, true));
  }
  provider.released = 0;
  StopFlag = true;
  EXPECT_FALSE(cPrng().StopProcessing());
  (void)cPrng().AES_Ready();  // only the acquisition and the release matter here
  EXPECT_EQ(provider.released, 1);
  provider.generator_fails = true;
  EXPECT_TRUE(Empty(prng.BuildRndData(4, 3)) && StopFlag);
  provider.generator_fails = false;
  EXPECT_TRUE(Empty(prng.BuildRndData(4, 3)) && provider.generated == 1);

  // Scripted bytes fix the range scan's length.
  provider.fill = [](auto out) { std::iota(out.begin(), out.end(), std::uint8_t{0}); };
  const std::function<bool()> stopped[] = {
      [&] { return Empty(prng.BuildRndData(64, 3)); },
      [&] { return Empty(prng.BuildWithinRange(20, 65, 90, 3)); },
      [&] {
        return prng.NonRepeatingNbrs(3, 1, 10) == std::vector{0, 0};
      }};
  ScriptedPump pump;
  const auto stopping_at = [&](std::int64_t k, const std::function<bool()>& call) {
    std::tie(StopFlag, pump.count, pump.stop_at) = std::tuple(false, 0, k);
    return call();
  };
  for (const auto& call : stopped) {
    ASSERT_FALSE(stopping_at(-1, call));
    for (std::int64_t k = 1, n = pump.count; k <= n; ++k) EXPECT_TRUE(stopping_at(k, call)) << k;
  }
  EXPECT_TRUE(boxes.shown.empty());
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

// GetRndValue truncates both ends, includes them, gives the low end when it
// is not below the high one, and spreads evenly: 200 is six standard
// deviations or more. BuildWithinRange gives as many digits as bytes are
// asked for.
TEST_F(PrngTest, GetRndValueNonRepeatingNbrsAndReshuffleData) {
  for (auto [lo, hi, want] : {std::tuple{5., 5., 5}, {7., 3., 7}, {2.9, 2.1, 2}, {-3.9, -3.1, -3}})
    EXPECT_EQ(prng.GetRndValue(lo, hi), want);
  for (auto [low, high] : {std::pair{1, 6}, {-3, 3}, {-10, -7}, {1000, 1001}}) {
    std::map<int, int> counts;
    for (int i = 0; i < 6000; ++i) ++counts[prng.GetRndValue(low, high)];
    const int values = high - low + 1;  // each drawn, none outside, about equally often
    EXPECT_EQ(std::tuple(counts.begin()->first, counts.rbegin()->first, counts.size()),
              std::tuple(low, high, static_cast<std::size_t>(values)));
    for (auto [value, count] : counts) EXPECT_NEAR(count, 6000 / values, 200) << value;
  }
  EXPECT_EQ(std::get<std::string>(prng.BuildWithinRange(10, 65, 90, 1)).size(), 10u);

  EXPECT_EQ(prng.NonRepeatingNbrs(5, 1, 10, -2, true), (std::vector{1, 3, 5, 7, 9, 0}));
  for (int i = 0; i < 20; ++i) {  // two are sorted too (unsorted, by chance once in 2^20)
    const auto two = prng.NonRepeatingNbrs(2, 1, 3, 1, true);
    EXPECT_LT(two[0], two[1]);
  }
  const auto picked = prng.NonRepeatingNbrs(20, -50, 100, 5);
  ASSERT_EQ(picked.size(), 21u);
  EXPECT_FALSE(std::is_sorted(picked.begin(), picked.end() - 1));
  const std::set<int> distinct(picked.begin(), picked.end() - 1);
  EXPECT_EQ(std::pair(distinct.size(), picked.back()), std::pair(std::size_t{20}, 0));
  for (int v : distinct) EXPECT_TRUE(v >= -50 && v <= 100 && (v + 50) % 5 == 0) << v;

  const Values sorted{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, "spare"};
  for (auto [mix, passes] : {std::pair{0, 15}, {-4, 15}, {1, 1}, {99, 99}, {100, 99}}) {
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
// (B before a, 0xE9 after z); the spare stays where it is. Only spaces are
// trimmed. The small helpers: an empty array is none, a collection empties
// from its end, a number swapped with itself stays.
TEST_F(PrngTest, CombSortRemoveDupesAndTheArrayHelpers) {
  Values sorted{2.0, 3.0, 7.0, 10.0, "B", "a", "b", -1.0};  // the spare would lead if sorted
  for (bool up : {true, false}) {
    Values data{"b", 10.0, "a", 3.0, "B", 2.0, 7.0, -1.0}, two{2.0, 1.0, 0.0};
    EXPECT_TRUE(prng.CombSort(data, up) && prng.CombSort(two, up));
    EXPECT_EQ(data, sorted);
    EXPECT_EQ(two, up ? (Values{1.0, 2.0, 0.0}) : (Values{2.0, 1.0, 0.0}));
    std::reverse(sorted.begin(), sorted.end() - 1);
  }
  const std::tuple<Values, bool, Values, int> rows[] = {
      {{"b", "A", "a", "c", ""}, false, {"A", "b", "c", ""}, 1},
      {{"b", "A", "a", "c", ""}, true, {"A", "a", "b", "c", ""}, 0},
      {{"A", "B", "a", ""}, false, {"A", "B", ""}, 1},  // equal items apart
      {{"\xE9", "a\t", "b", " a ", "", "a", "  ", ""}, true, {" a ", "a\t", "b", "\xE9", ""}, 1},
      {{3.0, 10.0, 3.0, "3", 0.0}, true, {3.0, 10.0, ""}, 2}};
  for (auto [data, case_sensitive, kept, dupes] : rows) {
    std::int32_t removed = -1;
    EXPECT_TRUE(prng.RemoveDupes(data, case_sensitive, removed));
    EXPECT_EQ(std::pair(data, removed), std::pair(kept, dupes));
  }

  static std::vector<int> removed;  // outlives the collection
  struct Recording : Collection {
    void Remove(std::int32_t index) override {
      removed.push_back(index);
      Collection::Remove(index);
    }
  };
  std::unique_ptr<Collection> items = std::make_unique<Recording>();
  for (const char* item : {"x", "y", "z"}) items->Add(item);
  prng.EmptyCollection(items);
  EXPECT_EQ(removed, (std::vector{3, 2, 1}));
  EXPECT_FALSE(items);
  EXPECT_EQ(prng.IsArrayInitialized(RndResult(Bytes())), 0);
  std::int32_t same = 5;
  prng.SwapLong(same, same);
  EXPECT_EQ(same, 5);
}

std::string Line(std::string text) { return text.append(60 - text.size(), ' '); }
std::string Header(const char* qty, const char* min, const char* max) {
  return Line(std::string("Items to be returned:") + qty) + "\r\n" +
         Line(std::string("Minimum value:") + min) + "\r\n" +
         Line(std::string("Maximum value:") + max);
}

// Every box cPrng shows, byte for byte, whether it stops the run, and the
// empty result that goes with it. Boxes that name their location have no
// icon; the others (a fault's own description) the exclamation icon.
TEST(PrngBoxes, EveryBoxIsShownByteForByte) {
  const std::string kRange = "\r\n\r\nclsRandom.BuildWithinRange";
  const std::string kNbrs = "\r\n\r\nclsRandom.NonRepeatingNbrs";
  const std::string kLong =
      "Incoming data must fall within the range of a long integer.\r\n"
      "        Min    -2,147,483,648\r\n        Max     2,147,483,647\r\n\r\nclsRandom.GetRndValue";
  // clang-format off
  // Arranges, calls, and tells the result is the empty one; the text; whether it stops.
  const std::tuple<std::function<bool(Bench&)>, std::string, bool> rows[] = {
    // BuildWithinRange, in the order it checks.
    {[](auto& t) { return t.Within(0, -1, 300, 4); }, "Long Integer and Double precision arrays "
        "\r\nare not valid return formats." + kRange, false},
    {[](auto& t) { return t.Within(0, -1, 300); }, "The length of the return data must be\r\n"
        "greater than zero.\r\n\r\nReturn length - 0" + kRange, false},
    {[](auto& t) { return t.Within(10, 255, 300); }, "The minimum range value must be a positive"
        "\r\nvalue of 0-254.\r\n\r\nCurrent Min - 255" + kRange, false},
    {[](auto& t) { return t.Within(10, 0, 0); }, "The maximum range value must be a positive"
        "\r\nvalue of 1-255.\r\n\r\nCurrent Max - 0" + kRange, false},
    {[](auto& t) { return t.Within(10, 90, 65); }, "The minimum range value must be less than"
        "\r\nthe maximum range value.\r\n\r\nCurrent Min - 90\r\nCurrent Max - 65" + kRange, false},
    // The full-range shortcut is BuildRndData, refusal included.
    {[](auto& t) { return t.Within(0, 0, 255); },
        "Return data length must be greater than zero.", false},
    // GetRndValue: either end outside 32 bits, or not a number.
    {[](auto& t) { return t.prng.GetRndValue(0, 3e9) == 0; }, kLong, false},
    {[](auto& t) { return t.prng.GetRndValue(3e9, 5) == 0; }, kLong, false},
    {[](auto& t) { return t.prng.GetRndValue(NAN, 5) == 0; }, kLong, false},
    // NonRepeatingNbrs and the arrays.
    {[](auto& t) { return t.prng.NonRepeatingNbrs(0, 1, 10).empty(); },
        "Need to request at least one value to be returned." + kNbrs, false},
    {[](auto& t) { return t.prng.NonRepeatingNbrs(3, 5, 5).empty(); },
        "Minimum value cannot exceed or equal maximum value.\r\n\r\n" +
        Header("     3", "               5", "               5") + kNbrs, false},
    {[](auto& t) { return t.prng.NonRepeatingNbrs(6, 1, 10, 2).empty(); },
        "Return quantity exceeds number of items produced.\r\n\r\n" +
        Header("     6", "               1", "              10") + "\r\n" +
        Line("Items produced:               5") + kNbrs, false},
    {[](auto& t) { return t.prng.NonRepeatingNbrs(2, 1, 2) == std::vector{1, 2, 0}; },
        "Invalid amount of data in array.\r\nElement count:  1\r\n\r\nclsRandom.ReshuffleData", false},
    {[](auto& t) { Values none; t.prng.ReshuffleData(none); return none.empty(); },
        "Incoming array has not been properly prepared.\r\n\r\nclsRandom.ReshuffleData", false},
    {[](auto& t) { Values none; return !t.prng.RemoveDupes(none); },
        "Incoming array has not been properly initialized.\r\n\r\nclsRandom.RemoveDupes", false},
    // The provider and the hash steps fail.
    {[](auto& t) { t.provider.first_row = 5; return Empty(t.prng.BuildRndData(8, 3)); },
        "An unknown error occurred while retrieving\r\nCryptoAPI provider handle.\r\n\r\n"
        "clsRandom.GetProviderHandle", true},
    {[](auto& t) { return Empty(t.prng.CreateHash("abc", 7)); },
        "Failed to create hash object key.\r\n\r\nclsRandom.CreateHash", true},
    {[](auto& t) { t.provider.failing_step = 1; return Empty(t.prng.CreateHash("abc")); },
        "Failed to hash data.\r\n\r\nclsRandom.CreateHash", true},
    {[](auto& t) { t.provider.failing_step = 2; return Empty(t.prng.BuildRndData(4, 3)); },
        "Failed to retrieve hashed data.\r\n\r\nclsRandom.CreateHash", true},
    // Faults: overflow and allocation, with their own description.
    // The length with its 16 bytes of surplus (four bytes a word) must fit.
    {[](auto& t) { return Empty(t.prng.BuildRndData(0x7FFFFFF0, 3)); }, "Overflow", true},
    {[](auto& t) { return Empty(t.prng.BuildRndData(0x1FFFFFFC, 4)); }, "Overflow", true},
    {[](auto& t) { return t.Within(0x7FFFFFFC, 65, 90); }, "Overflow", true},
    {[](auto& t) {
          t.provider.fill = [](auto) { throw std::bad_alloc(); };
          return Empty(t.prng.BuildRndData(16, 3)); }, "Out of memory", true}};
  // clang-format on
  for (const auto& [call, text, stops] : rows) {
    SCOPED_TRACE(text);
    Bench t;
    EXPECT_TRUE(call(t));
    ASSERT_EQ(t.boxes.Texts(), std::vector<std::string>{text});
    const bool located = text.find("\r\n\r\nclsRandom.") != std::string::npos;
    EXPECT_EQ(t.boxes.shown[0].icon, located ? MsgIcon::None : MsgIcon::Exclamation);
    EXPECT_EQ(StopFlag, stops);
  }
}

// RFC 8439 A.1 #3 (key ending in 01, counter 1) and 2.3.2 (key 00..1f,
// counter 1), which fix byte orders. Past block 2^32 - 1 the counter carries
// into the nonce's first word only, as OpenSSL's does: the last row's second
// block is block 0 of nonce 00000000 09000000 ffffffff. Each row through the
// platform's stream (the seeded provider's) and ours, read in the row's
// pieces: whole blocks straight to the caller, then the rest of a block
// across calls.
TEST(ChaCha20, EveryImplementationGivesTheReferenceKeystream) {
  const std::string rfc_key = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  // clang-format off
  const std::tuple<std::string, std::string, std::uint32_t, std::vector<std::size_t>, std::string>
      rows[] = {
          {std::string(63, '0') + "1", std::string(24, '0'), 1, {1, 63},
           "3aeb5224ecf849929b9d828db1ced4dd832025e8018b8160b82284f3c949aa5a"
           "8eca00bbb4a73bdad192b5c42f73f2fd4e273644c8b36125a64addeb006c13a0"},
          {rfc_key, "000000090000004a00000000", 1, {64},
           "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
           "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e"},
          {rfc_key, "ffffffff09000000ffffffff", 0xffffffff, {70, 0, 58},
           "348eaaee7cce0328ba0a361c312ac32f50b20bce3ffd606e3ecccb79b3e47cea"
           "370267e2fa3fc46caadeaf0a161150484decce51654431138bf1bb2b930b31cf"
           "c485454e240948b2a98534c292c914a86abb96600fd93456907ab515a2becd80"
           "22884ab7e436fc8cac518ccfd528f66c332a6b5bd9fdd1d1b9a72f906b3dd72f"}};
  // clang-format on
  for (const auto& [key_hex, nonce_hex, counter, pieces, expected] : rows) {
    SCOPED_TRACE(key_hex + " " + nonce_hex);
    const Bytes key = FromHex(key_hex), nonce = FromHex(nonce_hex), want = FromHex(expected);
    EXPECT_EQ(Keystream(key_hex, nonce_hex, counter, want.size()), want);
    ChaCha20Stream stream(std::span<const std::uint8_t, 32>(key.data(), 32),
                          std::span<const std::uint8_t, 12>(nonce.data(), 12), counter);
    Bytes ours;
    for (std::size_t piece : pieces) {
      Bytes part(piece, 0xAA);
      stream.Generate(part);
      ours.insert(ours.end(), part.begin(), part.end());
    }
    EXPECT_EQ(ours, want);
  }
}

// Each format takes exactly the bytes it shows (4 a word), so successive
// calls read the keystream on without a gap, whatever cPrng passes as
// additional input (its clock-derived text); the spare is 0, not a byte; an
// unknown format is format 0. No bytes for handle 0.
TEST(SeededCryptoProvider, BuildRndDataReadsTheKeystreamInOrderInEveryFormat) {
  const Bytes stream = FromHex(kTorvaneStream);
  Seeded seeded("torvane");
  cPrng prng;
  Bytes first(stream.begin(), stream.begin() + 32);
  first.push_back(0);
  const auto text = [&](int i) { return RndResult(std::string(&stream[i], &stream[i + 4])); };
  // In order: bytes 40 on are a2 6b f3 90 ba a7 ec 8d, then the words
  // 1e898c4e, 8fda0477, a43be8f8 and c589fa98, little-endian.
  EXPECT_EQ(prng.BuildRndData(32, 3), RndResult(first));
  EXPECT_EQ(prng.BuildRndData(4, 0), text(32));
  EXPECT_EQ(prng.BuildRndData(4, 9), text(36));
  EXPECT_EQ(prng.BuildRndData(4, 1), RndResult(std::string("A26BF390")));
  EXPECT_EQ(prng.BuildRndData(4, 2),
            RndResult(std::vector<std::string>{"BA", "A7", "EC", "8D", ""}));
  EXPECT_EQ(prng.BuildRndData(2, 4), RndResult(std::vector{0x1E898C4E, -0x7025FB89, 0}));
  const std::vector words{prng.LongToDouble(-0x5BC41708), prng.LongToDouble(-0x3A760568), 0.0};
  EXPECT_EQ(prng.BuildRndData(2, 5), RndResult(words));
  EXPECT_FALSE(seeded.provider.GenRandom(0, {}, first));
}

// BuildWithinRange draws whole 4096-byte blocks, each call a fresh one,
// looks at all but their last byte and returns the first n + 1 (n and the
// spare) of the n + 5 in-range bytes it holds; what follows reads on at the
// next block. The production yield's block scan keeps what the tests' pump
// makes it keep byte by byte, and the engine's stream takes the same bytes.
TEST(SeededCryptoProvider, BuildWithinRangeSpendsWholeBlocks) {
  constexpr std::size_t kBlock = 4096, kBlocks = 8;
  const Bytes stream = Keystream(kTorvaneKey, std::string(24, '0'), 0, kBlock * kBlocks);
  for (bool every_yield : {false, true}) {
    Seeded seeded("torvane");
    SeededCryptoProvider twin("torvane");
    const auto drawing = twin.OpenStream();
    const std::atomic<bool> quit = false;
    std::optional<ScriptedPump> pump;
    if (every_yield) pump.emplace();
    cPrng prng;
    std::size_t block = 0;
    // 0..254 keeps nearly all, so skipping each block's last byte shows; the
    // first block holds 4080 of them, so that the 4081st takes a second.
    for (auto [n, low, high] : {std::tuple{4076, 0, 254}, {20, 65, 90}, {3000, 128, 255}}) {
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
      Bytes drawn(n);
      EXPECT_TRUE(DrawWithinRange(*drawing, low, high, drawn, quit) &&
                  drawn == Bytes(kept.begin(), kept.end() - 1));
    }
    const auto next = stream.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
    EXPECT_EQ(std::get<std::string>(prng.BuildRndData(16, 0)), std::string(next, next + 16));
  }
}

// Every byte replaced, the last too (kept by chance once in 256 draws),
// with additional input or without, and nothing without a handle; the bulk
// stream fills a request of many pieces to its end. A hash fed in pieces is
// the hash fed at once; a short buffer is refused without spoiling the
// value; once read it takes no more data.
TEST(SystemProvider, KeepsTheProviderContract) {
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[0]);
  Bytes buffer(4096), bulk(100001);
  int last_kept = 0;
  for (std::string_view input : {"", "seed", "", "seed", "", "seed", "", "seed"}) {
    const std::uint8_t last = buffer.back();
    ASSERT_TRUE(system.GenRandom(handle, input, buffer));
    last_kept += buffer.back() == last;
  }
  ASSERT_TRUE(system.OpenStream()->Next(bulk));
  EXPECT_TRUE(last_kept < 4 && std::count(bulk.end() - 64, bulk.end(), 0) < 64) << last_kept;
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  for (auto algid : {kAlgMd2, kAlgMd4, kAlgMd5, kAlgSha1, kAlgSha256, kAlgSha384, kAlgSha512}) {
    auto whole = system.CreateHash(handle, algid), pieces = system.CreateHash(handle, algid);
    Bytes expected(64), value(64);
    std::uint32_t length = 0;
    ASSERT_TRUE(whole && pieces && whole->HashData(abc) && whole->GetHashValue(expected, length));
    EXPECT_TRUE(pieces->HashData(std::span(abc).first(1)) &&
                pieces->HashData(std::span(abc).subspan(1)) &&
                !pieces->GetHashValue(std::span(value).first(length - 1), length) &&
                pieces->GetHashValue(value, length) && !pieces->HashData(abc) && value == expected)
        << algid;
  }
  EXPECT_FALSE(system.GenRandom(0, {}, buffer) || system.CreateHash(handle, 0x8005) ||
               system.CreateHash(0, kAlgSha256));
  system.Release(handle);
}

}  // namespace
}  // namespace torvane
