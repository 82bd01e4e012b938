// The continuous builder's chunks, seen through a recording file layer.

#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;
using Chunks = std::vector<std::size_t>;

Chunks Sizes(const RecordingFileLayer& layer) {
  Chunks sizes;
  ByteCount end = 0;
  for (auto [offset, size] : layer.writes) {
    EXPECT_EQ(offset, end) << "no gaps";
    end += static_cast<ByteCount>(size);
    sizes.push_back(size);
  }
  return sizes;
}

Chunks Repeat(std::size_t n, Chunks tail) {
  tail.insert(tail.begin(), n, 61440);
  return tail;
}

class ContinuousChunks : public EngineTest,
                         public ::testing::WithParamInterface<std::pair<const char*, Chunks>> {};

TEST_P(ContinuousChunks, WritesTheChunkSequenceAndNothingBeyond) {
  RecordingFileLayer layer;
  const std::string bytes = GetParam().first, path = dir.File("Byte_" + bytes + ".dat");
  Custom(bytes, 0, false);
  WriteFileBytes(path, std::string(200000, 'x'));  // an older, longer file
  PushButton1_Click();
  EXPECT_EQ(Sizes(layer), GetParam().second);
  EXPECT_EQ(std::filesystem::file_size(path), std::stoull(bytes));
  EXPECT_TRUE(layer.open_fds.empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ContinuousChunks,
                         ::testing::Values(std::pair{"1024", Chunks{1024}},
                                           std::pair{"65536", Repeat(1, {4096})},
                                           std::pair{"100000", Repeat(1, {32768, 4096, 1696})},
                                           std::pair{"10485760", Repeat(170, {32768, 8192})}));

TEST_F(EngineTest, RangeOfDigitsGivesOnlyDigits) {
  Custom("100000", 0, false);
  window.job.LowText = "48";
  window.job.HighText = "57";
  PushButton1_Click();
  const std::string file = ReadFileBytes(dir.File("Byte_100000.dat"));
  ASSERT_EQ(file.size(), 100000u);
  EXPECT_EQ(file.find_first_not_of("0123456789"), std::string::npos);
}

// Past 4 GiB through the chunk loop, with a layer that keeps no data.
TEST_F(EngineTest, RunsBeyondFourGibibytes) {
  RecordingFileLayer layer;
  layer.discard = true;
  Custom("4295000000", 0, false);
  PushButton1_Click();
  const Chunks sizes = Sizes(layer);
  EXPECT_EQ(sizes, Repeat(69905, {32768, 4032}));
  EXPECT_EQ(layer.writes.back().first, 4294995968);  // beyond 2^32
  EXPECT_EQ(window.last_run_text, "4,295,000,000 / 4,295,000,000 bytes");
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
}

}  // namespace
}  // namespace torvane::testing
