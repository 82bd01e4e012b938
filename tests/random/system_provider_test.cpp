#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "random/crypto_provider.h"
#include "random/random_stream.h"
#include "tests/random/seeded_stream.h"

namespace torvane {
namespace {

// The object's contract for each of the seven digests (their values are
// checked through cPrng): "abc" fed in two pieces equals "abc" fed at once, a
// value read again is the same, a short buffer is refused without spoiling
// the value, and no data is taken after a read.
TEST(SystemCryptoProvider, TheHashObjectContract) {
  CryptoProvider& system = SystemCryptoProvider();
  const ProviderHandle handle = system.Acquire(kProviderRows[0]);
  ASSERT_NE(handle, 0u);
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  for (std::uint32_t algid :
       {kAlgMd2, kAlgMd4, kAlgMd5, kAlgSha1, kAlgSha256, kAlgSha384, kAlgSha512}) {
    auto whole = system.CreateHash(handle, algid);
    auto pieces = system.CreateHash(handle, algid);
    ASSERT_TRUE(whole && pieces) << algid;
    Bytes expected(64);
    std::uint32_t length = 0;
    ASSERT_TRUE(whole->HashData(abc) && whole->GetHashValue(expected, length)) << algid;
    expected.resize(length);
    EXPECT_TRUE(pieces->HashData(std::span(abc).first(1)));
    EXPECT_TRUE(pieces->HashData(std::span(abc).subspan(1)));
    Bytes shorter(expected.size() - 1), value(expected.size()), again(expected.size());
    EXPECT_FALSE(pieces->GetHashValue(shorter, length)) << algid;
    ASSERT_TRUE(pieces->GetHashValue(value, length)) << algid;
    EXPECT_EQ(value, expected) << algid;
    EXPECT_FALSE(pieces->HashData(abc)) << algid;
    EXPECT_TRUE(pieces->GetHashValue(again, length));
    EXPECT_EQ(again, expected) << algid;
  }
  EXPECT_EQ(system.CreateHash(handle, 0x8005), nullptr);  // an algid no row offers
  EXPECT_EQ(system.CreateHash(0, kAlgSha256), nullptr);
  system.Release(handle);
}

// Every byte replaced (a run of 4096 equal bytes would be a broken
// generator, not chance), and nothing without a handle; the same of the
// bulk stream.
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
  // The bulk stream too, to the end of a request that takes many pieces.
  const std::unique_ptr<RandomStream> stream = system.OpenStream();
  Bytes bulk(100001, 0);
  ASSERT_TRUE(stream != nullptr && stream->Next(bulk) && stream->Next(zeros));
  EXPECT_NE(std::count(bulk.end() - 64, bulk.end(), 0), 64);
  EXPECT_NE(std::count(zeros.begin(), zeros.end(), 0), 4096);
}

}  // namespace
}  // namespace torvane
