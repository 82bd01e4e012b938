// cPrng beside the shell tools people reach for, under the production yield
// (a counter step per yield, the clock every 1024, an idle pump every 10 ms):
//   BuildRndData(61440, 3)            vs  openssl rand N > /dev/null
//   BuildWithinRange(61440, 48, 57, 3) vs  tr -dc 0-9 </dev/urandom | head -c N
// Compare the bytes_per_second columns of each pair.
//
// The bulk streams of command-line runs, in 61,440-byte requests: the
// system's (AES-256-CTR under a key from the DRBG) beside OpenSSL's
// RAND_bytes in the same requests and in 1 MiB ones, and the seeded
// ChaCha20 stream.

#include <benchmark/benchmark.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/services.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "random/prng.h"
#include "random/random_stream.h"
#include "random/seeded_provider.h"

namespace {

constexpr std::int32_t kChunk = torvane::FileCreator::kChunkSizes.front();

struct IdlePump : torvane::EventPump {
  void PumpEvents() override {}
};

template <class Draw>
void DrawChunks(benchmark::State& state, Draw draw) {
  IdlePump pump;
  torvane::ScopedServices scope([&](torvane::Services& s) {
    s.pump = &pump;
    s.yield_policy = torvane::YieldPolicy::Production();
  });
  torvane::cPrng prng;
  for (auto _ : state) benchmark::DoNotOptimize(draw(prng));
  if (prng.StopProcessing()) state.SkipWithError("the random source failed");
  state.SetBytesProcessed(state.iterations() * kChunk);
}

void BM_BuildRndData(benchmark::State& state) {
  DrawChunks(state, [](torvane::cPrng& prng) { return prng.BuildRndData(kChunk, 3); });
}

void BM_BuildWithinRangeDigits(benchmark::State& state) {
  DrawChunks(state, [](torvane::cPrng& prng) { return prng.BuildWithinRange(kChunk, 48, 57, 3); });
}

void BM_Shell(benchmark::State& state, const char* command, std::int64_t bytes) {
  for (auto _ : state)
    if (std::system(command) != 0) state.SkipWithError(command);
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_RandBytes(benchmark::State& state) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1)
      state.SkipWithError("RAND_bytes failed");
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Stream(benchmark::State& state, bool seeded) {
  torvane::SeededCryptoProvider seed("bench");
  torvane::ScopedServices scope([&](torvane::Services& s) {
    if (seeded) s.crypto = &seed;
  });
  const auto stream = torvane::RandomStream::Open();
  std::vector<std::uint8_t> buffer(kChunk);
  for (auto _ : state)
    if (!stream->Next(buffer)) state.SkipWithError("the stream failed");
  state.SetBytesProcessed(state.iterations() * kChunk);
}

BENCHMARK(BM_BuildRndData)->UseRealTime();
BENCHMARK_CAPTURE(BM_Stream, system, false);
BENCHMARK(BM_RandBytes)->Arg(kChunk)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_Stream, seeded, true);
BENCHMARK_CAPTURE(BM_Shell, openssl_rand, "openssl rand 268435456 > /dev/null", 268435456)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildWithinRangeDigits)->UseRealTime();
BENCHMARK_CAPTURE(BM_Shell, tr_digits, "tr -dc 0-9 </dev/urandom | head -c 16777216 > /dev/null",
                  16777216)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
