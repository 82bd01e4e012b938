#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "bigfiles/big_files.h"
#include "tests/bigfiles/big_files_peer.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

struct PreSizedFiles : ::testing::Test {
  PreSizedFiles() { StopFlag = false; }

  struct stat Stat() const {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info;
  }

  testing::RecordingMessageBoxes boxes;
  testing::TempDir dir;
  cBigFiles files;
  std::string path = dir.File("big.dat");
};

TEST_F(PreSizedFiles, ThreeGiBFileIsSparseZeroFilledAndVerified) {
  const ByteCount size = 3221225472LL;
  ASSERT_TRUE(files.CreateBigFile(path, size, true));
  EXPECT_EQ(Stat().st_size, size);
  EXPECT_LT(Stat().st_blocks * 512, 1 << 20) << "no byte of it written";
  std::ifstream in(path, std::ios::binary);
  for (ByteCount offset : {ByteCount{0}, ByteCount{2147483648LL}, size - 1}) {
    char byte = 'x';
    EXPECT_TRUE(in.seekg(offset) && in.get(byte) && byte == 0) << offset;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreSizedFiles, ExistingReadOnlyFileIsMadeWritableEmptiedAndExtended) {
  testing::WriteFileBytes(path, "old content that must go");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_TRUE(files.CreateBigFile(path, 10, true));
  EXPECT_EQ(testing::ReadFileBytes(path), std::string(10, '\0'));
  EXPECT_TRUE(Stat().st_mode & S_IWUSR);
  testing::WriteFileBytes(path, "xyz");
  EXPECT_TRUE(files.CreateBigFile(path, 0, true));
  EXPECT_EQ(Stat().st_size, 0);
}

TEST_F(PreSizedFiles, AFifoInThePlaceOfTheFileIsRefusedNotWaitedOn) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(files.CreateBigFile(path, 10));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"No such device or address"});
}

struct SizeCase {
  ByteCount bytes;  // -1: no file
  std::string bits;
};
struct CalcFileSize : PreSizedFiles, ::testing::WithParamInterface<SizeCase> {};

TEST_P(CalcFileSize, GivesBytesAndBitsInUpperCaseHex) {
  if (GetParam().bytes >= 0) {
    testing::WriteFileBytes(path, "");
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(GetParam().bytes));
  }
  ByteCount size = 12345;
  std::string bits = "untouched";
  files.CalcFileSize(path, size, &bits);
  EXPECT_EQ(size, GetParam().bytes);
  EXPECT_EQ(bits, GetParam().bits);
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, CalcFileSize,
                         ::testing::Values(SizeCase{1, "8"}, SizeCase{0, "0"},
                                           SizeCase{268435456, "80000000"},
                                           SizeCase{3221225473LL, "600000008"},
                                           SizeCase{-1, "untouched"}));

TEST(LargeNumberToHex, WritesDigitsWithoutPrefixOrLeadingZeros) {
  EXPECT_EQ(cBigFilesTestPeer::Hex(4294967296LL), "100000000");
  EXPECT_EQ(cBigFilesTestPeer::Hex(0), "");
  EXPECT_EQ(cBigFilesTestPeer::Hex(INT64_MAX), "7FFFFFFFFFFFFFFF");
}

}  // namespace
}  // namespace torvane
