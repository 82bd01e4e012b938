// cPrng beside the shell tools people reach for, under the production yield
// (a counter step per yield, the clock every 1024, an idle pump every 10 ms):
//   BuildRndData(61440, 3)            vs  openssl rand N > /dev/null
//   BuildWithinRange(61440, 48, 57, 3) vs  tr -dc 0-9 </dev/urandom | head -c N
// Compare the bytes_per_second columns of each pair.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "common/services.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "random/prng.h"

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

BENCHMARK(BM_BuildRndData)->UseRealTime();
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
