#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>

#include "random/chacha20.h"
#include "random/prng.h"
#include "random/random_stream.h"
#include "tests/random/seeded_stream.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

// RFC 8439 A.1 #3 (key ending in 01, counter 1) and 2.3.2 (key 00..1f,
// counter 1), which fix byte orders. Past block 2^32 - 1 the counter carries
// into the nonce's first word only, as OpenSSL's does: the last row's second
// block is block 0 of nonce 00000000 09000000 ffffffff. Each row through the
// block function, the platform's stream (the seeded provider's) and ours,
// read in the row's pieces: whole blocks straight to the caller, then the
// rest of a block across calls.
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
    const std::span<const std::uint8_t, 32> key_span(key.data(), 32);
    const std::span<const std::uint8_t, 12> nonce_span(nonce.data(), 12);
    EXPECT_EQ(Keystream(key_hex, nonce_hex, counter, want.size()), want);
    ChaCha20Stream stream(key_span, nonce_span, counter);
    Bytes ours;
    for (std::size_t piece : pieces) {
      Bytes part(piece, 0xAA);
      stream.Generate(part);
      ours.insert(ours.end(), part.begin(), part.end());
    }
    EXPECT_EQ(ours, want);
    std::array<std::uint8_t, 64> block;
    ChaCha20Block(key_span, counter, nonce_span, block);
    EXPECT_EQ(Bytes(block.begin(), block.end()), Bytes(want.begin(), want.begin() + 64));
  }
}

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
// makes it keep byte by byte, and the engine's stream takes the same bytes.
TEST(SeededCryptoProvider, BuildWithinRangeSpendsWholeBlocks) {
  constexpr std::size_t kBlock = 4096, kBlocks = 8;
  const Bytes stream = Keystream(kTorvaneKey, std::string(24, '0'), 0, kBlock * kBlocks);
  for (bool every_yield : {false, true}) {
    Seeded seeded("torvane");
    SeededCryptoProvider twin("torvane");
    const auto drawing = twin.OpenStream();
    const std::atomic<bool> quit = false;
    std::optional<testing::ScriptedPump> pump;
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
    EXPECT_EQ(block, 5u);
    const auto next = stream.begin() + static_cast<std::ptrdiff_t>(block * kBlock);
    EXPECT_EQ(std::get<std::string>(prng.BuildRndData(16, 0)), std::string(next, next + 16));
  }
}

// The contract of each of the seven digests (their values are checked
// through cPrng): "abc" fed in two pieces equals "abc" fed at once, a short
// buffer is refused, no data is taken after a read, and a value read again is
// the same. The generator replaces every byte (4096 equal ones would be a
// broken generator, not chance), the bulk stream too, and nothing without a
// handle.
TEST(SystemCryptoProvider, HashObjectsAndGeneratorsKeepTheContract) {
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[0]);
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  for (std::uint32_t algid :
       {kAlgMd2, kAlgMd4, kAlgMd5, kAlgSha1, kAlgSha256, kAlgSha384, kAlgSha512}) {
    const auto whole = system.CreateHash(handle, algid), pieces = system.CreateHash(handle, algid);
    ASSERT_TRUE(whole && pieces) << algid;
    Bytes expected(64), value(64);
    std::uint32_t length = 0;
    ASSERT_TRUE(whole->HashData(abc) && whole->GetHashValue(expected, length)) << algid;
    EXPECT_TRUE(pieces->HashData(std::span(abc).first(1)) &&
                pieces->HashData(std::span(abc).subspan(1)));
    EXPECT_FALSE(pieces->GetHashValue(std::span(value).first(length - 1), length)) << algid;
    EXPECT_TRUE(pieces->GetHashValue(value, length) && !pieces->HashData(abc)) << algid;
    EXPECT_TRUE(pieces->GetHashValue(value, length) && value == expected) << algid;
  }
  EXPECT_EQ(system.CreateHash(handle, 0x8005), nullptr);  // an algid no row offers
  EXPECT_EQ(system.CreateHash(0, kAlgSha256), nullptr);
  Bytes drawn(4096, 0), bulk(100001, 0);
  EXPECT_TRUE(system.GenRandom(handle, "some input", drawn) && !system.GenRandom(0, {}, drawn));
  system.Release(handle);
  EXPECT_TRUE(system.OpenStream()->Next(bulk));  // a request that takes many pieces
  for (const Bytes& bytes : {drawn, bulk})
    EXPECT_NE(std::count(bytes.end() - 64, bytes.end(), bytes.back()), 64);  // the tail too
}

}  // namespace
}  // namespace torvane
