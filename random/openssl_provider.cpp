// The system provider on Linux: OpenSSL's DRBG and nettle's digests, and
// AES-256-CTR for bulk bytes; and OpenSSL's ChaCha20 for the seeded stream.

#include <nettle/nettle-meta.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

#include "random/crypto_provider.h"
#include "random/platform_keystream.h"
#include "random/random_stream.h"

namespace torvane {
namespace {

const nettle_hash* DigestFor(std::uint32_t algid) {
  switch (algid) {
    case kAlgMd2:
      return &nettle_md2;
    case kAlgMd4:
      return &nettle_md4;
    case kAlgMd5:
      return &nettle_md5;
    case kAlgSha1:
      return &nettle_sha1;
    case kAlgSha256:
      return &nettle_sha256;
    case kAlgSha384:
      return &nettle_sha384;
    case kAlgSha512:
      return &nettle_sha512;
    default:
      return nullptr;
  }
}

// nettle resets the context on digest.
class NettleHash : public FinishOnceHash {
 public:
  explicit NettleHash(const nettle_hash& hash)
      : FinishOnceHash(hash.digest_size),
        hash_(hash),
        context_((hash.context_size + sizeof(Word) - 1) / sizeof(Word)) {
    hash_.init(context_.data());
  }

 private:
  bool Update(std::span<const std::uint8_t> data) override {
    hash_.update(context_.data(), data.size(), data.data());
    return true;
  }

  bool Finish(std::span<std::uint8_t> digest) override {
    hash_.digest(context_.data(), digest.size(), digest.data());
    return true;
  }

  using Word = std::max_align_t;  // nettle's contexts want natural alignment
  const nettle_hash& hash_;
  std::vector<Word> context_;
};

// Encrypts zeros into `out` in pieces an int can count: the keystream.
bool EncryptZeros(EVP_CIPHER_CTX* context, std::span<std::uint8_t> out) {
  static const std::array<std::uint8_t, 16384> kZeros{};
  while (!out.empty()) {
    const std::size_t piece = std::min(out.size(), kZeros.size());
    int written = 0;
    if (EVP_EncryptUpdate(context, out.data(), &written, kZeros.data(), static_cast<int>(piece)) !=
            1 ||
        static_cast<std::size_t>(written) != piece)
      return false;
    out = out.subspan(piece);
  }
  return true;
}

// Bulk bytes without a seed: the AES-256-CTR keystream under a key and a
// first counter block drawn from the DRBG, drawn afresh every kRekeyBytes.
// That is how the DRBG makes its own output (CTR_DRBG: AES-256 in counter
// mode under its secret key, seeded from the system); this stream only
// leaves out the DRBG's re-keying after every 64 KiB request, which costs a
// key schedule and two blocks per request. A key that has made a gibibyte
// (2^26 blocks) stays within 2^-77 of random output.
class CounterModeStream final : public RandomStream {
 public:
  CounterModeStream() : context_(EVP_CIPHER_CTX_new()) {}
  ~CounterModeStream() override { EVP_CIPHER_CTX_free(context_); }
  CounterModeStream(const CounterModeStream&) = delete;
  CounterModeStream& operator=(const CounterModeStream&) = delete;

  bool Next(std::span<std::uint8_t> out) override {
    while (!out.empty()) {
      if (left_ == 0 && !Rekey()) return false;
      const std::size_t piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), left_));
      if (!EncryptZeros(context_, out.first(piece))) return false;
      left_ -= piece;
      out = out.subspan(piece);
    }
    return true;
  }

 private:
  static constexpr std::uint64_t kRekeyBytes = std::uint64_t{1} << 30;

  bool Rekey() {
    std::array<std::uint8_t, 48> secret{};  // key, then the first counter block
    const bool keyed = context_ != nullptr && RAND_priv_bytes(secret.data(), 48) == 1 &&
                       EVP_EncryptInit_ex(context_, EVP_aes_256_ctr(), nullptr, secret.data(),
                                          secret.data() + 32) == 1;
    OPENSSL_cleanse(secret.data(), secret.size());
    if (keyed) left_ = kRekeyBytes;
    return keyed;
  }

  EVP_CIPHER_CTX* context_;
  std::uint64_t left_ = 0;  // bytes the key may still make
};

class SystemProvider : public PlainHandleProvider {
 public:
  bool GenRandom(ProviderHandle handle, std::string_view additional_input,
                 std::span<std::uint8_t> buffer) override {
    if (handle == 0) return false;
    if (buffer.empty()) return true;
    if (buffer.size() > static_cast<std::size_t>(INT_MAX)) return false;
    // The process's public DRBG, as RAND_bytes uses it, but with our seed
    // text as additional input.
    EVP_RAND_CTX* drbg = RAND_get0_public(nullptr);
    if (drbg != nullptr && !additional_input.empty()) {
      return EVP_RAND_generate(drbg, buffer.data(), buffer.size(), 0, 0,
                               reinterpret_cast<const unsigned char*>(additional_input.data()),
                               additional_input.size()) == 1;
    }
    return RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) == 1;
  }

  std::unique_ptr<HashObject> CreateHash(ProviderHandle handle, std::uint32_t algid) override {
    const nettle_hash* hash = DigestFor(algid);
    if (handle == 0 || hash == nullptr) return nullptr;
    return std::make_unique<NettleHash>(*hash);
  }

  std::unique_ptr<RandomStream> OpenStream() override {
    return std::make_unique<CounterModeStream>();
  }
};

class OpenSslKeystream : public PlatformKeystream {
 public:
  OpenSslKeystream() : context_(EVP_CIPHER_CTX_new()) {}
  ~OpenSslKeystream() override { EVP_CIPHER_CTX_free(context_); }
  OpenSslKeystream(const OpenSslKeystream&) = delete;
  OpenSslKeystream& operator=(const OpenSslKeystream&) = delete;

  // OpenSSL takes the 16-byte IV as the 32-bit block counter, little-endian,
  // then the nonce.
  bool Start(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
             std::uint32_t counter) {
    std::array<std::uint8_t, 16> iv{};
    for (int i = 0; i < 4; ++i) iv[i] = static_cast<std::uint8_t>(counter >> (8 * i));
    std::copy(nonce.begin(), nonce.end(), iv.begin() + 4);
    return context_ != nullptr &&
           EVP_EncryptInit_ex(context_, EVP_chacha20(), nullptr, key.data(), iv.data()) == 1;
  }

  // The keystream is the encryption of zeros.
  bool Next(std::span<std::uint8_t> out) override { return EncryptZeros(context_, out); }

 private:
  EVP_CIPHER_CTX* context_;
};

}  // namespace

std::unique_ptr<PlatformKeystream> PlatformKeystream::Open(std::span<const std::uint8_t, 32> key,
                                                           std::span<const std::uint8_t, 12> nonce,
                                                           std::uint32_t counter) {
  auto stream = std::make_unique<OpenSslKeystream>();
  if (!stream->Start(key, nonce, counter)) return nullptr;
  return stream;
}

CryptoProvider& SystemCryptoProvider() {
  static SystemProvider provider;
  return provider;
}

}  // namespace torvane
