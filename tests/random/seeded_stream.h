#pragma once

// The seed "torvane" as a tool outside Torvane sees it, and the seeded
// provider installed the way the command line installs it for a run.

#include <gtest/gtest.h>

#include <string>

#include "common/services.h"
#include "random/prng.h"
#include "random/seeded_provider.h"

namespace torvane {

inline Bytes FromHex(std::string_view hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(
        static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

// SHA-256 of the seed "torvane" and the first 64 bytes of its keystream, as
//   printf torvane | sha256sum
//   head -c 64 /dev/zero | openssl enc -chacha20 -K <digest> -iv <32 zeros> | xxd -p
// gave them.
inline constexpr std::string_view kTorvaneKey =
    "0b22e9639e5ee44f30f1d5874d186fe85601e5cc11d72dbcc8c94c1688d9c431";
inline constexpr std::string_view kTorvaneStream =
    "63af3032af82706bc77d55254f16973df25d23c74b369caad9bb45051ccc42a5"
    "59c36a47378c7bb9a26bf390baa7ec8d4e8c891e7704da8ff8e83ba498fa89c5";

// The keystream of a key and nonce given in hexadecimal.
inline Bytes Keystream(std::string_view key_hex, std::string_view nonce_hex, std::uint32_t counter,
                       std::size_t size) {
  const Bytes key = FromHex(key_hex), nonce = FromHex(nonce_hex);
  Bytes out(size);
  EXPECT_TRUE(ChaCha20Keystream(std::span<const std::uint8_t, 32>(key.data(), 32),
                                std::span<const std::uint8_t, 12>(nonce.data(), 12), counter, out));
  return out;
}

// Installed for its lifetime: a fresh stream for each file.
struct Seeded {
  explicit Seeded(std::string_view seed)
      : provider(seed), scope([this](Services& s) { s.crypto = &provider; }) {}
  SeededCryptoProvider provider;
  ScopedServices scope;
};

}  // namespace torvane
