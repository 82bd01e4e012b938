#include "random/seeded_provider.h"

#include <nettle/sha2.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>

namespace torvane {
namespace {

// A ChaCha20 context at block `counter`, or nullptr. OpenSSL takes the
// 16-byte IV as the 32-bit block counter, little-endian, then the nonce.
EVP_CIPHER_CTX* NewStream(std::span<const std::uint8_t, 32> key,
                          std::span<const std::uint8_t, 12> nonce, std::uint32_t counter) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  if (context == nullptr) return nullptr;
  std::array<std::uint8_t, 16> iv{};
  for (int i = 0; i < 4; ++i) iv[i] = static_cast<std::uint8_t>(counter >> (8 * i));
  std::copy(nonce.begin(), nonce.end(), iv.begin() + 4);
  if (EVP_EncryptInit_ex(context, EVP_chacha20(), nullptr, key.data(), iv.data()) != 1) {
    EVP_CIPHER_CTX_free(context);
    return nullptr;
  }
  return context;
}

// The keystream is the encryption of zeros: done in place, in pieces an int
// can count.
bool NextKeystream(EVP_CIPHER_CTX* context, std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  while (!out.empty()) {
    const std::size_t piece = std::min(out.size(), kPiece);
    int written = 0;
    if (EVP_EncryptUpdate(context, out.data(), &written, out.data(), static_cast<int>(piece)) !=
            1 ||
        static_cast<std::size_t>(written) != piece)
      return false;
    out = out.subspan(piece);
  }
  return true;
}

}  // namespace

bool ChaCha20Keystream(std::span<const std::uint8_t, 32> key,
                       std::span<const std::uint8_t, 12> nonce, std::uint32_t counter,
                       std::span<std::uint8_t> out) {
  EVP_CIPHER_CTX* context = NewStream(key, nonce, counter);
  const bool made = context != nullptr && NextKeystream(context, out);
  EVP_CIPHER_CTX_free(context);
  return made;
}

void SeededCryptoProvider::CipherFree::operator()(evp_cipher_ctx_st* context) const noexcept {
  EVP_CIPHER_CTX_free(context);
}

SeededCryptoProvider::SeededCryptoProvider(std::string_view seed) {
  std::array<std::uint8_t, SHA256_DIGEST_SIZE> key;
  sha256_ctx sha;
  sha256_init(&sha);
  sha256_update(&sha, seed.size(), reinterpret_cast<const std::uint8_t*>(seed.data()));
  sha256_digest(&sha, key.size(), key.data());
  constexpr std::array<std::uint8_t, 12> kZeroNonce{};
  stream_.reset(NewStream(key, kZeroNonce, 0));
}

SeededCryptoProvider::~SeededCryptoProvider() = default;

ProviderHandle SeededCryptoProvider::Acquire(const ProviderRow&) {
  if (++last_handle_ == 0) ++last_handle_;
  return last_handle_;
}

void SeededCryptoProvider::Release(ProviderHandle) {}

bool SeededCryptoProvider::GenRandom(ProviderHandle handle, std::string_view,
                                     std::span<std::uint8_t> buffer) {
  // The additional input (cPrng's clock-derived seed text) is ignored: mixed
  // in, it would make every run differ.
  if (handle == 0 || !stream_) return false;
  if (NextKeystream(stream_.get(), buffer)) return true;
  stream_.reset();
  return false;
}

std::unique_ptr<HashObject> SeededCryptoProvider::CreateHash(ProviderHandle handle,
                                                             std::uint32_t algid) {
  return SystemCryptoProvider().CreateHash(handle, algid);
}

}  // namespace torvane
