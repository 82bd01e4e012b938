// Names, sizes and number conversions of a job, and the progress display.

#include <cmath>

#include "engine/messages.h"
#include "engine/run_state.h"
#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;

struct PresetRow {
  const char* file;
  ByteCount bytes;
};
class PresetRun : public EngineTest, public ::testing::WithParamInterface<int> {};

// Every preset through a whole run: the file on disk has the expected name and size.
TEST_P(PresetRun, MakesTheNamedFileOfItsSize) {
  static const PresetRow kRows[] = {
      {"KB_1", 1024},    {"KB_2", 2048},      {"KB_4", 4096},      {"KB_6", 6144},
      {"KB_8", 8192},    {"KB_10", 10240},    {"KB_16", 16384},    {"KB_32", 32768},
      {"KB_64", 65536},  {"KB_128", 131072},  {"KB_256", 262144},  {"KB_512", 524288},
      {"MB_1", 1048576}, {"MB_2", 2097152},   {"MB_3", 3145728},   {"MB_4", 4194304},
      {"MB_5", 5242880}, {"MB_6", 6291456},   {"MB_7", 7340032},   {"MB_8", 8388608},
      {"MB_9", 9437184}, {"MB_10", 10485760}, {"MB_144", 1457664}, {"KB_720", 730112}};
  window.job.PresetIndex = GetParam();
  window.job.FixedLength = false;
  PushButton1_Click();
  const std::string file = dir.File(std::string(kRows[GetParam()].file) + ".dat");
  EXPECT_EQ(std::filesystem::file_size(file), kRows[GetParam()].bytes);
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
}
INSTANTIATE_TEST_SUITE_P(AllPresets, PresetRun, ::testing::Range(0, 24));

struct CustomRow {
  const char* length;
  int unit;
  const char* name;  // "" when refused
  ByteCount bytes;
  const char* decimal_point = ".";
};
class CustomTarget : public ::testing::TestWithParam<CustomRow> {};

TEST_P(CustomTarget, NameAndSize) {
  const CustomRow& row = GetParam();
  SetUserNumberLocale({row.decimal_point, ","});
  JobSettings job;
  job.UsePresetSize = false;
  job.CustomLength = row.length;
  job.CustomUnit = row.unit;
  const JobTarget target = ResolveTarget(job);
  SetUserNumberLocale({});
  EXPECT_EQ(target.ok, *row.name != '\0') << target.error;
  EXPECT_EQ(target.name, row.name);
  EXPECT_EQ(target.size, row.bytes);
  EXPECT_EQ(target.empty_file, std::string(row.name) == "Empty");
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CustomTarget,
    ::testing::Values(CustomRow{" 10 ", 2, "MB_10", 10485760}, CustomRow{"1.5", 1, "KB_1.5", 1536},
                      CustomRow{"2", 3, "GB_2", 2147483648LL}, CustomRow{"+3", 1, "KB_+3", 3072},
                      CustomRow{"1,5", 1, "KB_1,5", 1536, ","},
                      // Fractional bytes: the nearest whole byte, a half up.
                      CustomRow{"1.5", 0, "Byte_1.5", 2}, CustomRow{"2.5", 0, "Byte_2.5", 3},
                      CustomRow{"0.3", 3, "GB_0.3", 322122547},
                      CustomRow{"0.0005", 2, "MB_0.0005", 524},
                      // A zero size, however typed, is the empty file whatever the unit.
                      CustomRow{"0", 3, "Empty", 0}, CustomRow{"", 1, "Empty", 0},
                      CustomRow{"00", 2, "Empty", 0}, CustomRow{"0.0", 1, "Empty", 0},
                      CustomRow{"0.4", 0, "Empty", 0}, CustomRow{"-0", 1, "Empty", 0},
                      // Refused before any file is touched.
                      CustomRow{"-5", 1, "", 0}, CustomRow{"-0.5", 0, "", 0},
                      CustomRow{"abc", 0, "", 0}, CustomRow{"1e3", 0, "", 0},
                      CustomRow{".", 0, "", 0}, CustomRow{"1.5", 1, "", 0, ","},
                      CustomRow{"1", 4, "", 0}, CustomRow{"0", -1, "", 0},
                      CustomRow{"99999999999999999999", 0, "", 0},
                      CustomRow{"900000000000000", 2, "", 0}, CustomRow{"900000000000", 3, "", 0}));

TEST(PresetIndex, OutOfRangeIsRefusedWithAMessage) {
  for (int index : {-1, 24}) {
    JobSettings job;
    job.PresetIndex = index;
    EXPECT_EQ(ResolveTarget(job).error, PresetOutOfRangeMessage(index));
  }
}

// Low and High: a fraction goes to the nearest whole number, a half to the
// even one; a value beyond 16 bits is refused.
TEST(ByteValue, ConvertsTo16BitsRoundingHalfToEven) {
  const std::pair<const char*, int> ok[] = {{" 70 ", 70},       {"65.5", 66},         {"64.5", 64},
                                            {"64.500001", 65},  {"-0.5", 0},          {"300", 300},
                                            {"-32768", -32768}, {"32767.4999", 32767}};
  for (auto [text, value] : ok) EXPECT_EQ(ConvertByteValue("Low", text).value, value) << text;
  for (const char* text : {"32767.5", "-32769", "1e2", "", "abc"})
    EXPECT_FALSE(ConvertByteValue("High", text).ok) << text;
}

// The text at the start of a job and after writes; the value is the
// percentage done raised to the next whole number (-1: the bar untouched).
TEST_F(EngineTest, ProgressTextAndValue) {
  const std::tuple<ByteCount, double, std::string, int> rows[] = {
      {1457664, 729000, "729,000 / 1,457,664 bytes", 51},
      {1000000, 1, "1 / 1,000,000 bytes", 1},
      {1000000, 500000, "500,000 / 1,000,000 bytes", 50},
      {1000000, 999999, "999,999 / 1,000,000 bytes", 100},
      {1000, 5000, "5,000 / 1,000 bytes", 100},
      {2048, 0, "0 / 2,048 bytes", -1},
      {0, 10, "", -1},
      {1000, -1e30, "", 0},
      {1000, std::nan(""), "", -1}};
  for (const auto& [total, written, text, value] : rows) {
    window.texts.clear();
    window.values.clear();
    detail::g_run.total_bytes = total;
    if (text.empty())
      CalcProgress(written);
    else
      ShowProgress(static_cast<ByteCount>(written));
    EXPECT_EQ(window.texts, text.empty() ? std::vector<std::string>{} : std::vector{text});
    EXPECT_EQ(window.values, value < 0 ? std::vector<int>{} : std::vector{value}) << written;
  }
}

}  // namespace
}  // namespace torvane::testing
