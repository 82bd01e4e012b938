#include "random/chacha20.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/random/seeded_stream.h"

namespace torvane {
namespace {

// RFC 8439 A.1 #1 (the zero key), #3 (key ending in 01, counter 1), #5
// (nonce ending in 02) and 2.3.2 (key 00..1f, counter 1), which fixes byte
// orders. Past block 2^32 - 1
// the counter carries into the nonce's first word only, as OpenSSL's does:
// the last row's second block is block 0 of nonce 00000000 09000000 ffffffff.
// Each row through the block function, the platform's stream (the seeded
// provider's) and ours, read in the row's pieces: whole blocks straight to
// the caller, then the rest of a block across calls.
TEST(ChaCha20, EveryImplementationGivesTheReferenceKeystream) {
  const std::string zero_key(64, '0'), zero_nonce(24, '0'),
      rfc_key = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  // clang-format off
  const std::tuple<std::string, std::string, std::uint32_t, std::vector<std::size_t>, std::string>
      rows[] = {
          {zero_key, zero_nonce, 0, {64},
           "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
           "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"},
          {std::string(63, '0') + "1", zero_nonce, 1, {1, 63},
           "3aeb5224ecf849929b9d828db1ced4dd832025e8018b8160b82284f3c949aa5a"
           "8eca00bbb4a73bdad192b5c42f73f2fd4e273644c8b36125a64addeb006c13a0"},
          {zero_key, std::string(23, '0') + "2", 0, {64},
           "c2c64d378cd536374ae204b9ef933fcd1a8b2288b3dfa49672ab765b54ee27c7"
           "8a970e0e955c14f3a88e741b97c286f75f8fc299e8148362fa198a39531bed6d"},
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

}  // namespace
}  // namespace torvane
