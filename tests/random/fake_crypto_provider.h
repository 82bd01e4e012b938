#pragma once

// A crypto provider that fails on demand: any of the four rows, the
// generator, or each hash step. Digests are the system's; bytes are the
// system's unless `fill` scripts them (it may throw, as an allocation
// would). Installed for its lifetime.

#include <array>
#include <functional>

#include "random/prng.h"

namespace torvane {

// Reaches the private members the tests pin down.
struct PrngTestAccess {
  static std::string BuildSeedString(cPrng& prng, std::int32_t n) {
    return prng.BuildSeedString(n);
  }
  static RndResult ConvertDataToHex(cPrng& prng, std::int32_t n, std::string_view data, bool text) {
    return prng.ConvertDataToHex(n, data, text);
  }
};

namespace testing {

class FakeCryptoProvider : public CryptoProvider {
 public:
  enum class HashStep { None, Create, Data, Value };

  FakeCryptoProvider() : previous_(InstallCryptoProvider(this)) {}
  ~FakeCryptoProvider() override { InstallCryptoProvider(previous_); }

  ProviderHandle Acquire(const ProviderRow& row) override {
    return row_works[row.row - 1] ? (++acquired, 7) : 0;
  }
  void Release(ProviderHandle) override { ++released; }

  bool GenRandom(ProviderHandle, std::string_view input, std::span<std::uint8_t> buffer) override {
    ++generated;
    if (generator_fails) return false;
    if (fill) return fill(buffer), true;
    return SystemCryptoProvider().GenRandom(1, input, buffer);
  }

  std::unique_ptr<HashObject> CreateHash(ProviderHandle, std::uint32_t algid) override {
    auto real = SystemCryptoProvider().CreateHash(1, algid);
    if (!real || failing_step == HashStep::Create) return nullptr;
    return std::make_unique<Hash>(*this, std::move(real));
  }

  std::array<bool, 4> row_works{true, true, true, true};
  bool generator_fails = false;
  HashStep failing_step = HashStep::None;
  std::function<void(std::span<std::uint8_t>)> fill;
  int acquired = 0, released = 0, generated = 0, hashes_destroyed = 0;

 private:
  struct Hash : HashObject {
    Hash(FakeCryptoProvider& owner, std::unique_ptr<HashObject> real)
        : owner(owner), real(std::move(real)) {}
    ~Hash() override { ++owner.hashes_destroyed; }
    bool HashData(std::span<const std::uint8_t> data) override {
      return owner.failing_step != HashStep::Data && real->HashData(data);
    }
    bool GetHashValue(std::span<std::uint8_t> buffer, std::uint32_t& length) override {
      return owner.failing_step != HashStep::Value && real->GetHashValue(buffer, length);
    }
    FakeCryptoProvider& owner;
    std::unique_ptr<HashObject> real;
  };

  CryptoProvider* previous_;
};

}  // namespace testing
}  // namespace torvane
