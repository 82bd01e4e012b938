#include <gtest/gtest.h>

#include <stdexcept>

#include "common/case_mapping.h"
#include "common/error_box.h"
#include "common/number_locale.h"
#include "common/pseudo_random.h"
#include "common/services.h"
#include "common/settings_store.h"
#include "common/text.h"
#include "common/yield.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using testing::FakeTicks;
using testing::RecordingMessageBoxes;
using testing::ScriptedPump;

// Puts `policy` in force, over the pump's every-yield one, for the scope's lifetime.
auto Policy(YieldPolicy p) {
  return [p](Services& s) { s.yield_policy = p; };
}

// The interval is measured on the services' clock, read once per 4 steps;
// a pump starts the interval again.
TEST(Yield, ProductionPolicyPumpsOnlyWhenTheIntervalHasPassed) {
  FakeTicks ticks;
  ScriptedPump pump;
  ScopedServices scope(Policy({4, std::chrono::milliseconds(5)}));
  for (int i = 0; i < 400; ++i) Yield();  // the clock stands still
  // Read when the scope began, then at every 4th step.
  EXPECT_EQ(std::pair(pump.count, ticks.reads), std::pair(std::int64_t{0}, 1 + 100));
  ticks.value += 6;
  for (int i = 0; i < 3; ++i) Yield();  // the clock is not read before the 4th step
  EXPECT_EQ(pump.count, 0);
  for (int i = 0; i < 5; ++i) Yield();  // read at the 4th and the 8th
  EXPECT_EQ(pump.count, 1);
}

// Blocks and budgets never take the step that reads the clock; under
// EveryYield() that is every step.
TEST(Yield, BlocksAndBudgetsNeverSkipAClockRead) {
  ScriptedPump pump;
  EXPECT_FALSE(TryYieldBlock(1));
  EXPECT_EQ(TakeYieldBudget(5), 0u);
  ScopedServices scope(Policy({100, std::chrono::nanoseconds(0)}));
  EXPECT_TRUE(TryYieldBlock(60));
  EXPECT_FALSE(TryYieldBlock(40));         // the 40th step from here reads the clock
  EXPECT_EQ(TakeYieldBudget(20, 3), 13u);  // whole items of the 39 spare yields
  EXPECT_EQ(TakeYieldBudget(5), 0u);
  Yield();
  EXPECT_EQ(pump.count, 1);
}

// Every kind of Windows-1252 letter pair converts both ways; bytes without a
// partner in the code page (digits, CR, LF, ×, ÷, ß, µ, ƒ, the signs around
// A-Z and a-z) stay whichever way the text is converted.
TEST(CaseMapping, LetterPairsConvertBothWaysAndTheRestStays) {
  const std::string upper = "AZ\x8A\x8C\x8E\x9F\xC0\xC9\xD6\xD8\xDE";
  const std::string lower = "az\x9A\x9C\x9E\xFF\xE0\xE9\xF6\xF8\xFE";
  const std::string unpaired = "09\r\n\xD7\xF7\xDF\xB5\x83\x80\xA0@[`{";
  const std::string mixed = upper + lower + unpaired;
  EXPECT_EQ(LowerCase(mixed), lower + lower + unpaired);
  const auto converted = [](std::string text, CaseConversion conversion) {
    ConvertCase(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()), conversion);
    return text;
  };
  EXPECT_EQ(converted(mixed, CaseConversion::Upper), upper + upper + unpaired);
  EXPECT_EQ(converted(mixed, CaseConversion::None), mixed);
}

// Both ends lose their blanks, the inside keeps them; cPrng trims spaces only.
TEST(Text, TrimBlanksTakesBlanksFromBothEndsOnly) {
  const std::tuple<std::string_view, std::string_view, std::string_view> rows[] = {
      {" \t1 5\t ", " \t", "1 5"}, {" \t \t", " \t", ""}, {"  a\t  ", " ", "a\t"}};
  for (const auto& [text, blanks, trimmed] : rows) EXPECT_EQ(TrimBlanks(text, blanks), trimmed);
  EXPECT_EQ(TrimBlanks("\t 6 \t"), "6");
}

// Each scope hands back what it found, the yield policy included: once the
// inner scope ends, the outer pump runs at every yield again.
TEST(Services, NestedScopesRestoreExactlyWhatEachFound) {
  RecordingMessageBoxes boxes;
  {
    ScriptedPump outer;
    {
      FakeTicks ticks;
      ScriptedPump inner;
      ScopedServices production(Policy(YieldPolicy::Production()));
      EXPECT_EQ(CurrentServices().boxes, &boxes);
      for (int i = 0; i < 1000; ++i) Yield();
      EXPECT_EQ(inner.count, 0);
    }
    EXPECT_EQ(CurrentServices().clock, nullptr);
    Yield();
    Yield();
    EXPECT_EQ(outer.count, 2);
  }
  EXPECT_EQ(CurrentServices().pump, nullptr);
}

// The error box names the failing statement and the procedure goes on; a
// box without a title of its own carries the application's.
TEST(Boxes, TheErrorBoxNamesTheStatementAndTheProcedureGoesOn) {
  EXPECT_EQ(ErrorBoxText("Overflow", "Form1", "PushButton1_Click", 30),
            "Overflow\r\nin Torvane2021/08/31.Form1.PushButton1_Click at line 30\r\r"
            "Please email screenshot of this message to support@torvane.dev");
  RecordingMessageBoxes boxes;
  ErrorTrap trap("FileCreator", "CalcProgress");
  int ran = 0;
  trap(10, [&] { ++ran; });
  EXPECT_FALSE(trap(20, [&] { throw std::overflow_error("Overflow"); }));
  trap(30, [&] { ++ran; });
  MsgBox("Done.");
  EXPECT_EQ(ran, 2);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, ErrorBoxText("Overflow", "FileCreator", "CalcProgress", 20));
  EXPECT_EQ(std::tuple(boxes.shown[0].title, boxes.shown[0].icon, boxes.shown[1].title),
            std::tuple("Application Error", MsgIcon::Exclamation, "Torvane"));
}

TEST(NumberLocale, ThousandsUseTheUserSeparator) {
  EXPECT_EQ(FormatThousands(INT64_MIN), "-9,223,372,036,854,775,808");
  SetUserNumberLocale({",", "."});
  EXPECT_EQ(FormatThousands(1024), "1.024");
  SetUserNumberLocale({});
}

TEST(Settings, MemoryStoreFallsBackPerAddress) {
  MemorySettingsStore store;
  store.SaveSetting(kSettingsApplication, kSettingsSection, "Text1", "10");
  EXPECT_EQ(store.GetSetting(kSettingsApplication, kSettingsSection, "Text1", "0"), "10");
  EXPECT_EQ(store.GetSetting(kSettingsApplication, "Other", "Text1", "0"), "0");
  EXPECT_TRUE(store.Contains("Text1") && !store.Contains("Text2"));
}

TEST(PseudoRandom, ReseedMakesTheSequenceAFunctionOfTheSeed) {
  XoshiroRandom a, b;
  a.Reseed(12345);
  b.Reseed(12345);
  for (int i = 0; i < 100; ++i) {
    const double x = a.Next();
    EXPECT_TRUE(x == b.Next() && x >= 0.0 && x < 1.0) << i << ": " << x;
  }
  b.Reseed(12346);
  EXPECT_NE(a.Next(), b.Next());
}

}  // namespace
}  // namespace torvane
