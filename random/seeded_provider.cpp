#include "random/seeded_provider.h"

#include <array>
#include <optional>

#include "random/platform_keystream.h"

namespace torvane {
namespace {

// SHA-256 of the seed through the system provider, so that both platforms
// take the key from their own digest; nothing when it fails.
std::optional<std::array<std::uint8_t, 32>> SeedKey(std::string_view seed) {
  std::array<std::uint8_t, 32> key{};
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[0]);
  auto hash = system.CreateHash(handle, kAlgSha256);
  std::uint32_t length = 0;
  const bool made =
      hash != nullptr &&
      hash->HashData({reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size()}) &&
      hash->GetHashValue(key, length) && length == key.size();
  hash.reset();
  if (handle != 0) system.Release(handle);
  if (!made) return std::nullopt;
  return key;
}

}  // namespace

bool ChaCha20Keystream(std::span<const std::uint8_t, 32> key,
                       std::span<const std::uint8_t, 12> nonce, std::uint32_t counter,
                       std::span<std::uint8_t> out) {
  const auto stream = PlatformKeystream::Open(key, nonce, counter);
  return stream != nullptr && stream->Next(out);
}

SeededCryptoProvider::SeededCryptoProvider(std::string_view seed) {
  constexpr std::array<std::uint8_t, 12> kZeroNonce{};
  if (const auto key = SeedKey(seed)) stream_ = PlatformKeystream::Open(*key, kZeroNonce, 0);
}

SeededCryptoProvider::~SeededCryptoProvider() = default;

bool SeededCryptoProvider::GenRandom(ProviderHandle handle, std::string_view,
                                     std::span<std::uint8_t> buffer) {
  // The additional input (cPrng's clock-derived seed text) is ignored: mixed
  // in, it would make every run differ.
  if (handle == 0 || !stream_) return false;
  if (stream_->Next(buffer)) return true;
  stream_.reset();
  return false;
}

std::unique_ptr<HashObject> SeededCryptoProvider::CreateHash(ProviderHandle handle,
                                                             std::uint32_t algid) {
  return SystemCryptoProvider().CreateHash(handle, algid);
}

}  // namespace torvane
