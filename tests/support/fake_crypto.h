#pragma once

// A crypto provider for tests that link the random library.

#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "common/services.h"
#include "random/crypto_provider.h"

namespace torvane::testing {

// A crypto provider that fails on demand: the rows before `first_row`,
// the generator (or one draw), or a hash step. Digests are the system's, and so are the
// bytes unless `fill` scripts them (it may throw, as an allocation would).
struct FakeCryptoProvider : CryptoProvider {
  ProviderHandle Acquire(const ProviderRow& row) override {
    acquired += row.row >= first_row;
    return row.row >= first_row ? 7 : 0;
  }
  void Release(ProviderHandle) override { ++released; }
  bool GenRandom(ProviderHandle, std::string_view input, std::span<std::uint8_t> out) override {
    ++generated;
    if (generator_fails || generated == failing_draw) return false;
    if (!fill) return SystemCryptoProvider().GenRandom(1, input, out);
    fill(out);
    return true;
  }
  std::unique_ptr<HashObject> CreateHash(ProviderHandle, std::uint32_t algid) override {
    auto real = SystemCryptoProvider().CreateHash(1, algid);
    const int step = failing_algid == 0 || failing_algid == algid ? failing_step : 0;
    return real ? std::make_unique<Hash>(step, std::move(real)) : nullptr;
  }

  struct Hash : HashObject {
    Hash(int step, std::unique_ptr<HashObject> h) : failing_step(step), real(std::move(h)) {}
    bool HashData(std::span<const std::uint8_t> in) override {
      return failing_step != 1 && real->HashData(in);
    }
    bool GetHashValue(std::span<std::uint8_t> out, std::uint32_t& length) override {
      return failing_step != 2 && real->GetHashValue(out, length);
    }
    int failing_step;
    std::unique_ptr<HashObject> real;
  };

  int first_row = 1;                // the first that works; 5: none
  int failing_step = 0;             // 1: hashing the data, 2: reading the digest
  std::uint32_t failing_algid = 0;  // the digest that fails; 0: every one
  bool generator_fails = false;
  int failing_draw = 0;  // counted from 1; 0: none
  std::function<void(std::span<std::uint8_t>)> fill;
  int acquired = 0, released = 0, generated = 0;
  ScopedServices scope{[this](Services& s) { s.crypto = this; }};
};

}  // namespace torvane::testing
