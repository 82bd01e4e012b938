#pragma once

// A provider whose random bytes are a pure function of a seed text, so the
// same seed rebuilds the same file: the ChaCha20 keystream of RFC 8439 with
// key SHA-256(seed's bytes), a zero nonce and block counter 0, handed out in
// order across all GenRandom calls. Anyone can rebuild it without Torvane:
//   head -c N /dev/zero | openssl enc -chacha20 -K <SHA-256 hex> -iv <32 zeros>
// Put a fresh one in force per file (Services::crypto): the stream never rewinds.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "random/crypto_provider.h"

namespace torvane {

class PlatformKeystream;

// Writes over `out` the keystream that starts at block `counter` for `key`
// and `nonce`. False when the platform's library fails. Past block 2^32 - 1
// the counter carries into the nonce's first word, as OpenSSL (and its
// command line) do; on every platform.
[[nodiscard]] bool ChaCha20Keystream(std::span<const std::uint8_t, 32> key,
                                     std::span<const std::uint8_t, 12> nonce, std::uint32_t counter,
                                     std::span<std::uint8_t> out);

// Every row succeeds; all handles share the one stream, which goes on where
// it was when a handle is given back.
class SeededCryptoProvider final : public PlainHandleProvider {
 public:
  // The seed's bytes as given (the command line passes UTF-8).
  explicit SeededCryptoProvider(std::string_view seed);
  ~SeededCryptoProvider() override;
  SeededCryptoProvider(const SeededCryptoProvider&) = delete;
  SeededCryptoProvider& operator=(const SeededCryptoProvider&) = delete;

  // The next buffer.size() keystream bytes. False for handle 0, and from the
  // first failure on: a stream that lost its place cannot be trusted again.
  [[nodiscard]] bool GenRandom(ProviderHandle handle, std::string_view additional_input,
                               std::span<std::uint8_t> buffer) override;
  // The system provider's digests: they are deterministic already.
  [[nodiscard]] std::unique_ptr<HashObject> CreateHash(ProviderHandle handle,
                                                       std::uint32_t algid) override;

 private:
  std::unique_ptr<PlatformKeystream> stream_;  // null once failed
};

}  // namespace torvane
