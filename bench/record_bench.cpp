// The fixed-length layout's record formatter on one core: 61,440 pool bytes
// made into 768 records of 80 bytes, as a command-line run's maker thread
// makes them. bytes_per_second counts the records' bytes; the random
// bytes, drawn once, are not part of it (random_bench times those).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/record_format.h"

namespace {

using torvane::CaseConversion;
using torvane::FileCreator::RecordFormat;

constexpr std::size_t kPool = 61440;
constexpr std::size_t kRecord = 80;

void BM_FormatRecords(benchmark::State& state, bool hex, CaseConversion letters) {
  std::vector<std::uint8_t> pool(kPool), out(kPool);
  std::mt19937 bits(1);
  for (auto& b : pool) b = static_cast<std::uint8_t>(bits());
  const RecordFormat format(hex, letters);
  for (auto _ : state) {
    for (std::size_t at = 0; at < kPool; at += kRecord)
      format.Format(pool.data() + at, std::span(out.data() + at, kRecord));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPool));
}

BENCHMARK_CAPTURE(BM_FormatRecords, hex, true, CaseConversion::None);
BENCHMARK_CAPTURE(BM_FormatRecords, hex_lower, true, CaseConversion::Lower);
BENCHMARK_CAPTURE(BM_FormatRecords, binary, false, CaseConversion::None);
BENCHMARK_CAPTURE(BM_FormatRecords, binary_upper, false, CaseConversion::Upper);

}  // namespace

BENCHMARK_MAIN();
