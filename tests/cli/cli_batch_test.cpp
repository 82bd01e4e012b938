// Many files in one run, filling a disk, and the room checks made before any
// file is touched.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/room.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/file_double.h"

namespace torvane::cli {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
namespace fs = std::filesystem;

// Free space and the largest file checked before writing; a fill's sizes in
// whole units down to its reserve.
TEST(Room, ChecksAndFillsBeforeWriting) {
  // FAT's sizes have 32 bits.
  ASSERT_EQ(FileLayer::kFatLargestFile, (ByteCount{1} << 32) - 1);
  testing::FileDouble disk({204800, FileLayer::kFatLargestFile});
  using FileCreator::CheckRoom;
  EXPECT_EQ(CheckRoom("/f", {1LL << 30}, true).error(),
            "needs 1,073,741,824 bytes; the folder has 204,800 bytes free");
  EXPECT_TRUE(CheckRoom("/f", {1LL << 30}, false));
  EXPECT_EQ(CheckRoom("/f", {4LL << 30}, false).error(),
            "a file of 4,294,967,296 bytes is larger than the folder's file system allows "
            "(4,294,967,295 bytes)");
  EXPECT_TRUE(CheckRoom("/f", {4294967295LL}, false)) << "FAT's largest file";
  EXPECT_TRUE(CheckRoom("/f", {100000, 200000}, true, 100000)) << "old files are emptied first";
  EXPECT_FALSE(CheckRoom("/f", {100000, 200000}, true, 90000));

  disk.space = {10 * 1048576 + 100, 4294967295LL};
  using FileCreator::PlanFill;
  // Whole blocks of 4,096 bytes, one of them spared.
  EXPECT_EQ(*PlanFill("/f", 1048576, 0, 80), std::vector<ByteCount>{9433040});
  EXPECT_EQ(*PlanFill("/f", 1048576, 3 * 1048576 + 100000, 61440),
            (std::vector<ByteCount>{3194880, 3194880, 3010560}));
  EXPECT_FALSE(PlanFill("/f", 20 * 1048576, 0, 80));
  disk.space = {20 << 20, 1LL << 40, 4096};  // a 960-byte file takes a block
  EXPECT_EQ(*PlanFill("/f", 0, 1000, 80), std::vector<ByteCount>(5119, 960));
  disk.space = {(10 << 20) + 8192, 1LL << 40, 4096};  // two blocks: one to spare, one for 100
  EXPECT_EQ(*PlanFill("/f", 10 << 20, 100, 1), std::vector<ByteCount>{100});
  disk.space = {20 << 20, 1LL << 40, 4096};
  // Before each file: its blocks and one to spare above the reserve.
  using FileCreator::FitsAboveReserve;
  EXPECT_TRUE(FitsAboveReserve("/f", (20 << 20) - 4096, 0));
  EXPECT_FALSE(FitsAboveReserve("/f", (20 << 20) - 4095, 0));
  EXPECT_FALSE(FitsAboveReserve("/f", 1, (20 << 20) - 4096));
  // A million files of 2 bytes and one of 1 are one file too many.
  disk.space = {2000002, 1LL << 40, 1};
  EXPECT_FALSE(PlanFill("/f", 0, 2, 1));
  disk.space = {2000001, 1LL << 40, 1};
  EXPECT_EQ(PlanFill("/f", 0, 2, 1)->size(), 1000000u);
  disk.space = {100LL << 30, 4294967295LL};  // FAT: no file beyond 4 GiB - 1
  EXPECT_EQ(PlanFill("/f", 0, 0, 61440)->front(), 4294967295LL / 61440 * 61440);
}

// Presets first, then sizes, each `count` times; each path as it completes;
// the k-th copy of a seeded size takes the seed with "_k" after it. The
// first file that fails (a folder at its name) ends the batch: the files
// after it are not begun, and the last line says how many were made.
TEST(Batch, MakesEachSizeCountTimesAndStopsAtAFailure) {
  TempDir dir;
  const Finished done = RunIn(dir, {"-s", "1KiB,100+1", "-p", "720 kb", "--count", "2", "--seed",
                                    "s", "--layout", "fixed"});
  ASSERT_EQ(done.status, 0) << done.err;
  std::string expected;
  const std::pair<const char*, std::uintmax_t> files[] = {{"KB_720", 730112}, {"KB_720_2", 730112},
                                                          {"KB_1", 1024},     {"KB_1_2", 1024},
                                                          {"Byte_101", 101},  {"Byte_101_2", 101}};
  for (const auto& [name, size] : files) {
    expected += dir.File(std::string(name) + ".dat") + "\n";
    EXPECT_EQ(fs::file_size(dir.File(std::string(name) + ".dat")), size) << name;
  }
  EXPECT_EQ(done.out, expected);
  for (const auto& [name, seed] : {std::pair("KB_1.dat", "s"), {"KB_1_2.dat", "s_2"}}) {
    const Finished same = RunIn(
        dir, {"-o", dir.File(name), "-s", "1KiB", "--seed", seed, "--layout", "fixed", "--verify"});
    EXPECT_EQ(same.status, 0) << name << same.err;
  }
  fs::create_directory(dir.File("KB_2.dat"));
  const Finished failed = RunIn(dir, {"-s", "1KiB,2KiB,3KiB"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, dir.File("KB_1.dat") + "\n");
  EXPECT_TRUE(failed.err.ends_with("torvane-cli: 1 of 3 files made; 1 not begun\n")) << failed.err;
  EXPECT_FALSE(fs::exists(dir.File("KB_3.dat")));
}

#ifndef _WIN32  // a small mounted disk: Linux only
// On a real small disk a fill leaves at least its reserve free, whatever the
// largest file (small files take a whole block each), and not much more, in
// whole records where it makes records; a reserve beyond the disk is refused
// before anything is written.
TEST(Batch, FillLeavesTheReserveFree) {
  testing::SmallDisk disk("20m");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
  const auto free = [&] { return static_cast<ByteCount>(fs::space(disk.dir().path()).available); };
  const std::vector<std::string> rows[] = {{},
                                           {"--reserve", "0", "--max-file-size", "1MiB"},
                                           {"--max-file-size", "1000"},
                                           {"--max-file-size", "4096", "--layout", "fixed"},
                                           {"--max-file-size", "1MiB", "--layout", "fixed"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row));
    std::vector<std::string> args = {"--fill", "--reserve", "1MiB"};
    args.insert(args.end(), row.begin(), row.end());
    const ByteCount reserve = row.size() > 1 && row[1] == "0" ? 0 : 1048576;
    const Finished done = RunIn(disk.dir(), args);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_GE(free(), reserve);
    EXPECT_LT(free(), reserve + 3 * 4096 + 61440);
    for (const auto& entry : fs::directory_iterator(disk.dir().path())) {
      EXPECT_EQ(entry.file_size() % (std::count(row.begin(), row.end(), "fixed") ? 80 : 1), 0u);
      fs::remove(entry.path());
    }
  }
  EXPECT_EQ(RunIn(disk.dir(), {"--fill", "--reserve", "30MiB"}).status, 2);
  EXPECT_TRUE(fs::is_empty(disk.dir().path()));
}

// What a file system holds decides, not what its length fields or an old
// file's length say: tmpfs (like overlayfs) takes sparse files past 2 GiB
// and past its free space, and an old sparse file at the name frees only the
// blocks it holds.
TEST(Batch, RoomIsWhatTheFileSystemHolds) {
  testing::SmallDisk small("20m");
  if (!small.mounted()) GTEST_SKIP() << "mounting needs root";
  const Finished sparse = RunIn(small.dir(), {"-s", "3GiB", "--content", "sparse"});
  EXPECT_EQ(sparse.status, 0) << sparse.err;
  EXPECT_EQ(fs::file_size(small.dir().File("GB_3.dat")), 3ull << 30);

  const std::string old = small.dir().File("MB_500.dat");
  testing::WriteFileBytes(old, "");
  fs::resize_file(old, 500ull << 20);
  const Finished refused = RunIn(small.dir(), {"-s", "500MiB"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("needs 524,288,000 bytes; the folder has"), std::string::npos)
      << refused.err;
  EXPECT_EQ(fs::file_size(old), 500ull << 20);
  // An old file that holds its blocks frees them for the run that replaces it.
  fs::remove(old);
  ASSERT_EQ(RunIn(small.dir(), {"-s", "15MiB"}).status, 0);
  EXPECT_EQ(RunIn(small.dir(), {"-s", "15MiB"}).status, 0);
}
#endif

}  // namespace
}  // namespace torvane::cli
