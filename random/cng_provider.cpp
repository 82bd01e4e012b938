// The system provider on Windows: CNG (bcrypt) for the random bytes and the
// digests, as the crypto services the object was designed around were the
// platform's own. CNG has no ChaCha20: the seeded stream is ours.

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <vector>

#include "random/chacha20.h"
#include "random/crypto_provider.h"
#include "random/platform_keystream.h"

namespace torvane {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

struct Algorithm {
  std::uint32_t algid;
  const wchar_t* name;
};

constexpr Algorithm kAlgorithms[] = {
    {kAlgMd2, BCRYPT_MD2_ALGORITHM},       {kAlgMd4, BCRYPT_MD4_ALGORITHM},
    {kAlgMd5, BCRYPT_MD5_ALGORITHM},       {kAlgSha1, BCRYPT_SHA1_ALGORITHM},
    {kAlgSha256, BCRYPT_SHA256_ALGORITHM}, {kAlgSha384, BCRYPT_SHA384_ALGORITHM},
    {kAlgSha512, BCRYPT_SHA512_ALGORITHM},
};

// An open algorithm provider, made on first use and kept for the process:
// opening one is the costly step, and a hash object needs it for its whole
// life. nullptr for an unknown algid, or when the system has none.
BCRYPT_ALG_HANDLE AlgorithmFor(std::uint32_t algid) {
  static const std::vector<BCRYPT_ALG_HANDLE> opened = [] {
    std::vector<BCRYPT_ALG_HANDLE> handles;
    for (const Algorithm& algorithm : kAlgorithms) {
      BCRYPT_ALG_HANDLE handle = nullptr;
      if (!Succeeded(BCryptOpenAlgorithmProvider(&handle, algorithm.name, nullptr, 0)))
        handle = nullptr;
      handles.push_back(handle);
    }
    return handles;
  }();
  for (std::size_t i = 0; i < std::size(kAlgorithms); ++i)
    if (kAlgorithms[i].algid == algid) return opened[i];
  return nullptr;
}

// CNG's object takes nothing more once finished.
class CngHash : public FinishOnceHash {
 public:
  CngHash(BCRYPT_HASH_HANDLE hash, std::size_t size) : FinishOnceHash(size), hash_(hash) {}
  ~CngHash() override { BCryptDestroyHash(hash_); }
  CngHash(const CngHash&) = delete;
  CngHash& operator=(const CngHash&) = delete;

 private:
  bool Update(std::span<const std::uint8_t> data) override {
    constexpr std::size_t kPiece = std::size_t{1} << 30;  // a ULONG counts it
    while (!data.empty()) {
      const std::size_t piece = std::min(data.size(), kPiece);
      // CNG's signature wants a non-const pointer; it does not write there.
      if (!Succeeded(
              BCryptHashData(hash_, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(piece), 0)))
        return false;
      data = data.subspan(piece);
    }
    return true;
  }

  bool Finish(std::span<std::uint8_t> digest) override {
    return Succeeded(BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
  }

  BCRYPT_HASH_HANDLE hash_;
};

class SystemProvider : public PlainHandleProvider {
 public:
  // The system-preferred generator is seeded and reseeded by the system and
  // takes no caller input (the flag that once mixed the buffer's content in
  // is ignored since Windows 8), so the additional input is left out: the
  // contract allows that, and the bytes are no weaker for it.
  bool GenRandom(ProviderHandle handle, std::string_view, std::span<std::uint8_t> buffer) override {
    if (handle == 0) return false;
    constexpr std::size_t kPiece = std::size_t{1} << 30;  // a ULONG counts it
    while (!buffer.empty()) {
      const std::size_t piece = std::min(buffer.size(), kPiece);
      if (!Succeeded(BCryptGenRandom(nullptr, buffer.data(), static_cast<ULONG>(piece),
                                     BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
      buffer = buffer.subspan(piece);
    }
    return true;
  }

  std::unique_ptr<HashObject> CreateHash(ProviderHandle handle, std::uint32_t algid) override {
    BCRYPT_ALG_HANDLE algorithm = handle == 0 ? nullptr : AlgorithmFor(algid);
    if (algorithm == nullptr) return nullptr;
    DWORD size = 0;
    ULONG got = 0;
    if (!Succeeded(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size),
                                     sizeof size, &got, 0)) ||
        got != sizeof size || size == 0)
      return nullptr;
    // The object's memory is left to CNG (a null buffer), as it allows
    // since Windows 7.
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) return nullptr;
    try {
      return std::make_unique<CngHash>(hash, size);
    } catch (...) {
      BCryptDestroyHash(hash);
      throw;
    }
  }
};

class PortableKeystream : public PlatformKeystream {
 public:
  PortableKeystream(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
                    std::uint32_t counter)
      : stream_(key, nonce, counter) {}

  bool Next(std::span<std::uint8_t> out) override {
    stream_.Generate(out);
    return true;
  }

 private:
  ChaCha20Stream stream_;
};

}  // namespace

std::unique_ptr<PlatformKeystream> PlatformKeystream::Open(std::span<const std::uint8_t, 32> key,
                                                           std::span<const std::uint8_t, 12> nonce,
                                                           std::uint32_t counter) {
  return std::make_unique<PortableKeystream>(key, nonce, counter);
}

CryptoProvider& SystemCryptoProvider() {
  static SystemProvider provider;
  return provider;
}

}  // namespace torvane
