#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "random/crypto_provider.h"
#include "tests/random/seeded_stream.h"

namespace torvane {
namespace {

// The seven digests of "abc", fed in two pieces, and the object's contract:
// a value read again is the same, a short buffer is refused without spoiling
// the value, and no data is taken after a read.
TEST(SystemCryptoProvider, DigestsOfAbcAndTheHashObjectContract) {
  const std::pair<std::uint32_t, std::string> rows[] = {
      {kAlgMd2, "da853b0d3f88d99b30283a69e6ded6bb"},
      {kAlgMd4, "a448017aaf21d8525fc10ae87aa6729d"},
      {kAlgMd5, "900150983cd24fb0d6963f7d28e17f72"},
      {kAlgSha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {kAlgSha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {kAlgSha384,
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed"
       "8086072ba1e7cc2358baeca134c825a7"},
      {kAlgSha512,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
  };
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[0]);
  ASSERT_NE(handle, 0u);
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  for (const auto& [algid, hex] : rows) {
    const Bytes expected = FromHex(hex);
    auto hash = system.CreateHash(handle, algid);
    ASSERT_NE(hash, nullptr) << algid;
    EXPECT_TRUE(hash->HashData(std::span(abc).first(1)));
    EXPECT_TRUE(hash->HashData(std::span(abc).subspan(1)));
    Bytes shorter(expected.size() - 1), value(80, 0), again(expected.size());
    std::uint32_t length = 0;
    EXPECT_FALSE(hash->GetHashValue(shorter, length)) << algid;
    ASSERT_TRUE(hash->GetHashValue(value, length)) << algid;
    EXPECT_EQ(Bytes(value.begin(), value.begin() + length), expected) << algid;
    EXPECT_FALSE(hash->HashData(abc)) << algid;
    EXPECT_TRUE(hash->GetHashValue(again, length));
    EXPECT_EQ(again, expected) << algid;
  }
  EXPECT_EQ(system.CreateHash(handle, 0x8005), nullptr);  // an algid no row offers
  EXPECT_EQ(system.CreateHash(0, kAlgSha256), nullptr);
  system.Release(handle);
}

// Every byte replaced (a run of 4096 equal bytes would be a broken
// generator, not chance), and nothing without a handle.
TEST(SystemCryptoProvider, GenRandomFillsTheWholeBuffer) {
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[3]);
  Bytes zeros(4096, 0), ones(4096, 0xff);
  EXPECT_TRUE(system.GenRandom(handle, "some input", zeros));
  EXPECT_TRUE(system.GenRandom(handle, {}, ones));
  EXPECT_NE(std::count(zeros.begin(), zeros.end(), 0), 4096);
  EXPECT_NE(zeros, ones);
  EXPECT_NE(std::count(ones.end() - 64, ones.end(), 0xff), 64);  // the tail too
  EXPECT_TRUE(system.GenRandom(handle, {}, {}));
  EXPECT_FALSE(system.GenRandom(0, {}, zeros));
  system.Release(handle);
}

}  // namespace
}  // namespace torvane
