#pragma once

// The cryptographic provider under cPrng: random bytes and digests, shaped
// after the handle-based crypto services the object was designed around.
// The system implementation is OpenSSL's DRBG plus nettle's digests on
// Linux, CNG on Windows; tests put a double that fails on demand in its place.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace torvane {

using ProviderHandle = std::uint32_t;  // 0: none held

class RandomStream;  // random/random_stream.h

// One row of the table cPrng tries, in order, when it needs a provider.
struct ProviderRow {
  int row;  // 1-based
  std::string_view name;
  std::uint32_t type;
  std::uint32_t flags;
  bool offers_sha2;  // SHA-256/384/512 available (the AES-capable rows)
};

inline constexpr std::array<ProviderRow, 4> kProviderRows{{
    {1, "Microsoft Enhanced RSA and AES Cryptographic Provider (Prototype)", 24, 0xF0000000u, true},
    {2, "Microsoft Enhanced RSA and AES Cryptographic Provider", 24, 0xF0000000u, true},
    {3, "Microsoft Enhanced Cryptographic Provider v1.0", 1, 0xF0000000u, false},
    {4, "Microsoft Base Cryptographic Provider v1.0", 1, 0, false},
}};

// Algorithm identifiers of the digests.
inline constexpr std::uint32_t kAlgMd2 = 0x8001;
inline constexpr std::uint32_t kAlgMd4 = 0x8002;
inline constexpr std::uint32_t kAlgMd5 = 0x8003;
inline constexpr std::uint32_t kAlgSha1 = 0x8004;
inline constexpr std::uint32_t kAlgSha256 = 0x800C;
inline constexpr std::uint32_t kAlgSha384 = 0x800D;
inline constexpr std::uint32_t kAlgSha512 = 0x800E;

// A digest in progress; destroying it releases it.
class HashObject {
 public:
  virtual ~HashObject() = default;
  // Adds `data` to the digest; false when it cannot (the system's digests
  // take no data once their value has been read).
  [[nodiscard]] virtual bool HashData(std::span<const std::uint8_t> data) = 0;
  // Writes the digest to the front of `buffer`, which must hold it, and sets
  // `length` to its size. False when the buffer is too small.
  [[nodiscard]] virtual bool GetHashValue(std::span<std::uint8_t> buffer,
                                          std::uint32_t& length) = 0;
};

// The contract's bookkeeping for the system digests, which end their state
// when their value is read: the value is kept for repeated reads, and no
// data is taken after it. Implementations add data and finish, once.
class FinishOnceHash : public HashObject {
 public:
  explicit FinishOnceHash(std::size_t size) : size_(size) {}
  [[nodiscard]] bool HashData(std::span<const std::uint8_t> data) final {
    return digest_.empty() && Update(data);
  }
  [[nodiscard]] bool GetHashValue(std::span<std::uint8_t> buffer, std::uint32_t& length) final {
    if (buffer.size() < size_) return false;
    if (digest_.empty()) {
      std::vector<std::uint8_t> digest(size_);
      if (!Finish(digest)) return false;
      digest_ = std::move(digest);
    }
    std::copy(digest_.begin(), digest_.end(), buffer.begin());
    length = static_cast<std::uint32_t>(size_);
    return true;
  }

 protected:
  [[nodiscard]] virtual bool Update(std::span<const std::uint8_t> data) = 0;
  // Writes the digest, `size` bytes, to `digest`.
  [[nodiscard]] virtual bool Finish(std::span<std::uint8_t> digest) = 0;

 private:
  std::size_t size_;
  std::vector<std::uint8_t> digest_;  // empty until finished
};

// Failures are return values (0, false, nullptr); an implementation may
// still throw std::bad_alloc, which cPrng reports as a fault.
class CryptoProvider {
 public:
  virtual ~CryptoProvider() = default;
  // A handle for the provider the row names, or 0 when that one cannot be
  // had (the caller tries the next row).
  [[nodiscard]] virtual ProviderHandle Acquire(const ProviderRow& row) = 0;
  // Gives back a handle from Acquire; the handle is not used again.
  virtual void Release(ProviderHandle handle) = 0;
  // Replaces every byte of `buffer` with random bytes. `additional_input`
  // may be mixed into the generator; it never weakens it.
  [[nodiscard]] virtual bool GenRandom(ProviderHandle handle, std::string_view additional_input,
                                       std::span<std::uint8_t> buffer) = 0;
  // nullptr for an algorithm the provider does not know.
  [[nodiscard]] virtual std::unique_ptr<HashObject> CreateHash(ProviderHandle handle,
                                                               std::uint32_t algid) = 0;
  // Random bytes in bulk for one thread (RandomStream::Open), or nullptr.
  // By default GenRandom through a handle of the first row that can be had,
  // held until the stream is gone.
  [[nodiscard]] virtual std::unique_ptr<RandomStream> OpenStream();
};

// For providers whose handles carry nothing: every row succeeds with a fresh
// handle (never 0), and giving one back has nothing to free.
class PlainHandleProvider : public CryptoProvider {
 public:
  [[nodiscard]] ProviderHandle Acquire(const ProviderRow&) override {
    if (++last_handle_ == 0) ++last_handle_;
    return last_handle_;
  }
  void Release(ProviderHandle) override {}

 private:
  ProviderHandle last_handle_ = 0;
};

// OpenSSL's DRBG and nettle's digests (Linux) or CNG (Windows): every row
// succeeds and knows all seven digests.
CryptoProvider& SystemCryptoProvider();

// The provider that new acquisitions use: CurrentServices().crypto, else
// the system one. Objects keep the provider they acquired from.
CryptoProvider& CurrentCryptoProvider();

}  // namespace torvane
