// The content of fixed-length files, read back from disk.

#include "engine/case_mapping.h"
#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;

// The file cut into its records: 80 bytes each, the last one shorter.
std::vector<std::string> Records(const std::string& file) {
  std::vector<std::string> records;
  for (std::size_t at = 0; at < file.size(); at += 80) records.push_back(file.substr(at, 80));
  return records;
}

struct LayoutRow {
  const char* bytes;
  const char* low;
  const char* high;
  bool hex;
  CaseConversion conversion;
  const char* alphabet;  // what content bytes may be ("" = any of 0..13)
  std::size_t last_record;
};
class FixedLayout : public EngineTest, public ::testing::WithParamInterface<LayoutRow> {};

TEST_P(FixedLayout, RecordsEndInCrLfAndShowOnlyTheirAlphabet) {
  const LayoutRow& row = GetParam();
  Custom(row.bytes);
  window.job.LowText = row.low;
  window.job.HighText = row.high;
  window.job.HexPairs = row.hex;
  window.job.Case = row.conversion;
  const std::string path = dir.File(std::string("Byte_") + row.bytes + ".dat");
  WriteFileBytes(path, std::string(9000, 'x'));  // an older, longer file is cut
  PushButton1_Click();

  const std::string file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), std::stoull(row.bytes));
  const auto records = Records(file);
  EXPECT_EQ(records.back().size(), row.last_record);
  const std::string alphabet =
      *row.alphabet ? row.alphabet : std::string("\0\1\2\3\4\5\6\7\10\11\12\13\14\15", 14);
  for (const std::string& record : records) {
    // A 1-byte last record is one content byte, without a line end.
    const std::size_t content = record.size() == 1 ? 1 : record.size() - 2;
    EXPECT_EQ(record.substr(content), record.size() == 1 ? "" : "\r\n");
    EXPECT_EQ(record.substr(0, content).find_first_not_of(alphabet), std::string::npos);
  }
  EXPECT_EQ(window.last_run_text, ProgressText(TotalBytes(), TotalBytes()));
}

constexpr const char* kHex = "0123456789ABCDEF";
constexpr auto kNone = CaseConversion::None;
constexpr auto kLower = CaseConversion::Lower;
constexpr auto kUpper = CaseConversion::Upper;

INSTANTIATE_TEST_SUITE_P(
    Layouts, FixedLayout,
    ::testing::Values(LayoutRow{"1024", "0", "255", true, kNone, kHex, 64},
                      LayoutRow{"160", "0", "255", true, kNone, kHex, 80},
                      LayoutRow{"162", "0", "255", true, kNone, kHex, 2},
                      LayoutRow{"161", "0", "255", true, kNone, kHex, 1},
                      LayoutRow{"1024", "0", "255", true, kLower, "0123456789abcdef", 64},
                      LayoutRow{"1024", "0", "255", true, kUpper, kHex, 64},
                      LayoutRow{"1024", "65", "70", false, kNone, "ABCDEF", 64},
                      LayoutRow{"1024", "65", "70", false, kLower, "abcdef", 64},
                      LayoutRow{"1024", "97", "102", false, kUpper, "ABCDEF", 64},
                      LayoutRow{"81", "65", "70", false, kLower, "abcdef", 1},
                      LayoutRow{"100000", "0", "13", false, kNone, "", 80}));

// Hex pairs and case are read while the run goes on: switched after the 50th
// record, the records from the 51st on are binary and lower case.
TEST_F(EngineTest, SwitchingHexAndCaseMidRunChangesTheRecordsFromThenOn) {
  Custom("8000");
  window.job.LowText = "65";
  window.job.HighText = "70";
  window.on_case_read = [&](int reads) {
    if (reads == 50) window.job.HexPairs = false, window.job.Case = kLower;
  };
  PushButton1_Click();
  const auto records = Records(ReadFileBytes(dir.File("Byte_8000.dat")));
  ASSERT_EQ(records.size(), 100u);
  for (std::size_t i = 0; i < records.size(); ++i)  // the hex of 65..70 is 41..46
    EXPECT_EQ(records[i].substr(0, 78).find_first_not_of(i < 50 ? "0123456789" : "abcdef"),
              std::string::npos)
        << i;
}

// Beyond ASCII, case follows the letter pairs of Windows-1252 and nothing else.
TEST(CaseTables, Windows1252LetterPairsConvertBothWays) {
  const auto &lower = LowerCaseTable(), &upper = UpperCaseTable();
  int pairs = 0;
  for (int b = 0; b < 256; ++b) {
    pairs += lower[b] != b;
    EXPECT_TRUE(lower[b] == b || upper[lower[b]] == b) << b;
    EXPECT_TRUE(upper[b] == b || lower[upper[b]] == b) << b;
  }
  EXPECT_EQ(pairs, 26 + 30 + 4);
  EXPECT_EQ(upper[0xFF], 0x9F);
  EXPECT_EQ(upper[0xDF], 0xDF);  // ß has no single upper case
  EXPECT_EQ(lower[0xD7], 0xD7);  // × is no letter
}

}  // namespace
}  // namespace torvane::testing
