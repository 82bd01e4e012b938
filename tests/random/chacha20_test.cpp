#include "random/chacha20.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "random/seeded_provider.h"
#include "tests/random/seeded_stream.h"

namespace torvane {
namespace {

using Key = std::span<const std::uint8_t, 32>;
using Nonce = std::span<const std::uint8_t, 12>;

// The portable stream read in the given pieces, one call each.
Bytes Portable(const Bytes& key, const Bytes& nonce, std::uint32_t counter,
               const std::vector<std::size_t>& pieces) {
  ChaCha20Stream stream(Key(key.data(), 32), Nonce(nonce.data(), 12), counter);
  Bytes out;
  for (std::size_t piece : pieces) {
    Bytes part(piece, 0xAA);
    stream.Generate(part);
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

const std::string kRfcKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";

// RFC 8439 2.3.2 (one block) and 2.4.2 (the keystream of 2.4.2 laid over its
// text, read in pieces that split blocks unevenly).
TEST(ChaCha20Stream, ReproducesTheRfc8439Examples) {
  const Bytes key = FromHex(kRfcKey);
  const Bytes nonce = FromHex("000000090000004a00000000");
  std::array<std::uint8_t, 64> block;
  ChaCha20Block(Key(key.data(), 32), 1, Nonce(nonce.data(), 12), block);
  EXPECT_EQ(Bytes(block.begin(), block.end()),
            FromHex("10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
                    "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e"));

  const std::string text =
      "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
      "future, sunscreen would be it.";
  const Bytes cipher = FromHex(
      "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0bf91b65c5524733ab8f593dab"
      "cd62b3571639d624e65152ab8f530c359f0861d807ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806"
      "818ce91ab77937365af90bbf74a35be6b40b8eedf2785e42874d");
  for (const auto& pieces : {std::vector<std::size_t>{114}, {1, 63, 50}, {70, 0, 44}}) {
    Bytes stream = Portable(key, FromHex("000000000000004a00000000"), 1, pieces);
    for (std::size_t i = 0; i < text.size(); ++i) stream[i] ^= static_cast<std::uint8_t>(text[i]);
    EXPECT_EQ(stream, cipher) << pieces.size();
  }
}

// Past block 2^32 - 1 the counter goes on in the nonce's first word: the
// block after 0xffffffff is block 0 of the nonce one higher there. Both the
// portable stream and the platform's (which the seeded provider uses).
TEST(ChaCha20Stream, CounterCarriesIntoTheNoncesFirstWord) {
  const Bytes key = FromHex(kRfcKey);
  const Bytes nonce = FromHex("0700000009000000ffffffff"),
              next = FromHex("0800000009000000ffffffff");
  const Bytes after = Keystream(kRfcKey, "0800000009000000ffffffff", 0, 64);
  EXPECT_EQ(after, Portable(key, next, 0, {64}));
  const Bytes portable = Portable(key, nonce, 0xffffffff, {70, 58});
  EXPECT_EQ(Bytes(portable.begin() + 64, portable.end()), after);
  const Bytes platform = Keystream(kRfcKey, "0700000009000000ffffffff", 0xffffffff, 128);
  EXPECT_EQ(Bytes(platform.begin() + 64, platform.end()), after);
}

#ifndef _WIN32
// Linux only: there the platform stream is OpenSSL's, a second implementation
// to hold ours to; on Windows the platform stream is this one.
TEST(ChaCha20Stream, EqualsOpenSslsStreamAcrossCallsAndTheCounterWrap) {
  struct Row {
    std::uint8_t key_step;
    std::string nonce;
    std::uint32_t counter;
    std::vector<std::size_t> pieces;
  };
  const Row rows[] = {
      {1, std::string(24, '0'), 0, {1, 63, 64, 65, 200, 7}},
      {3, "0102030405060708090a0b0c", 12345, {3 * 4096 + 17, 0, 5}},
      {5, "00000000ffffffff00000000", 0xfffffffe, {100, 31, 129, 1}},
      {7, "ffffffff0000000000000001", 0xffffffff, {3, 64 * 5 + 1}},
  };
  for (const Row& row : rows) {
    Bytes key(32);
    for (std::size_t i = 0; i < key.size(); ++i)
      key[i] = static_cast<std::uint8_t>(i * row.key_step + 0x5c);
    std::string key_hex;
    for (std::uint8_t b : key)
      key_hex += "0123456789abcdef"[b >> 4], key_hex += "0123456789abcdef"[b & 15];
    std::size_t total = 0;
    for (std::size_t piece : row.pieces) total += piece;
    EXPECT_EQ(Portable(key, FromHex(row.nonce), row.counter, row.pieces),
              Keystream(key_hex, row.nonce, row.counter, total))
        << row.nonce << " at " << row.counter;
  }
}
#endif

}  // namespace
}  // namespace torvane
