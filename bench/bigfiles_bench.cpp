// Synced writes as the engine makes them: 61,440-byte chunks of the
// continuous layout and 80-byte records of the fixed-length one. Each write
// is on stable storage before the next starts, so the figures are to be held
// against dd writing the same file on the same disk:
//   dd if=/dev/zero of=/var/tmp/x bs=61440 count=4000 oflag=dsync
//   dd if=/dev/zero of=/var/tmp/x bs=80 count=10000 oflag=dsync
// The iteration counts are fixed to match: the cost of a synced write grows
// with the length of the file.
//
// The file goes to $TORVANE_BENCH_DIR, else /var/tmp: it must be a disk, not
// tmpfs, where a sync costs nothing.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bigfiles/big_files.h"
#include "engine/file_creator.h"

namespace torvane {
namespace {

std::string TemporaryFile() {
  const char* dir = std::getenv("TORVANE_BENCH_DIR");
  std::string path = std::string(dir != nullptr ? dir : "/var/tmp") + "/torvane-bench-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return {};
  ::close(fd);
  return path;
}

void BM_API_WriteFile(benchmark::State& state) {
  const std::string path = TemporaryFile();
  cBigFiles files;
  FileHandle handle = 0;
  if (path.empty() || !files.OpenReadWrite(path, handle)) {
    state.SkipWithError("cannot create the temporary file");
    return;
  }
  const std::vector<std::uint8_t> chunk(static_cast<std::size_t>(state.range(0)), 0);
  ByteCount position = 0;
  for (auto _ : state) {
    if (!files.API_WriteFile(handle, position, chunk)) {
      state.SkipWithError("write failed");
      break;
    }
    position += state.range(0);
  }
  files.API_CloseFile(handle);
  ::unlink(path.c_str());
  state.SetBytesProcessed(position);
  state.counters["writes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_API_WriteFile)->Arg(FileCreator::kChunkSizes.front())->Iterations(4000)->UseRealTime();
BENCHMARK(BM_API_WriteFile)->Arg(80)->Iterations(10000)->UseRealTime();

}  // namespace
}  // namespace torvane

BENCHMARK_MAIN();
