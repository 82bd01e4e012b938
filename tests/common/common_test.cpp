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

struct CountingPump : EventPump {
  int pumped = 0;
  void PumpEvents() override { ++pumped; }
};

// Puts `pump` in force under `policy` for the scope's lifetime.
auto Pumping(EventPump& pump, YieldPolicy policy) {
  return [&pump, policy](Services& s) {
    s.pump = &pump;
    s.yield_policy = policy;
  };
}

// The interval is measured on the services' clock, read once per 4 steps.
TEST(Yield, ProductionPolicyPumpsOnlyWhenTheIntervalHasPassed) {
  FakeTicks ticks;
  CountingPump pump;
  ScopedServices scope(Pumping(pump, YieldPolicy{4, std::chrono::milliseconds(5)}));
  for (int i = 0; i < 400; ++i) Yield();  // the clock stands still
  EXPECT_EQ(pump.pumped, 0);
  EXPECT_EQ(ticks.reads, 1 + 100);  // when the scope began, then at every 4th step
  ticks.value += 6;
  for (int i = 0; i < 3; ++i) Yield();  // the clock is not read before the 4th step
  EXPECT_EQ(pump.pumped, 0);
  Yield();
  EXPECT_EQ(pump.pumped, 1);
}

TEST(Yield, EveryYieldPolicyPumpsEachTimeAndRefusesBlocks) {
  CountingPump pump;
  ScopedServices scope(Pumping(pump, YieldPolicy::EveryYield()));
  EXPECT_FALSE(TryYieldBlock(1));
  EXPECT_EQ(TakeYieldBudget(5), 0u);
  for (int i = 0; i < 7; ++i) Yield();
  EXPECT_EQ(pump.pumped, 7);
}

TEST(Yield, BlockBudgetNeverSkipsAClockRead) {
  CountingPump pump;
  ScopedServices scope(Pumping(pump, YieldPolicy{100, std::chrono::nanoseconds(0)}));
  EXPECT_TRUE(TryYieldBlock(60));
  EXPECT_FALSE(TryYieldBlock(60));         // the clock read falls inside: go step by step
  EXPECT_EQ(TakeYieldBudget(20, 3), 13u);  // whole items of the 39 spare yields
  EXPECT_EQ(TakeYieldBudget(5), 0u);
  Yield();  // the budget is spent: this step reads the clock
  EXPECT_EQ(pump.pumped, 1);
}

// Every kind of Windows-1252 letter pair converts both ways; bytes without a
// partner in the code page (digits, CR, LF, ×, ÷, ß, µ, ƒ, the signs around
// A-Z and a-z) stay whichever way the text is converted.
TEST(CaseMapping, LetterPairsConvertBothWaysAndTheRestStays) {
  const std::string upper = "AZ\x8A\x8C\x8E\x9F\xC0\xC9\xD6\xD8\xDE";
  const std::string lower = "az\x9A\x9C\x9E\xFF\xE0\xE9\xF6\xF8\xFE";
  const std::string unpaired = "09\r\n\xD7\xF7\xDF\xB5\x83\x80\xA0@[`{";
  EXPECT_EQ(LowerCase(upper + unpaired), lower + unpaired);
  EXPECT_EQ(LowerCase(lower + unpaired), lower + unpaired);
  const auto converted = [](std::string text, CaseConversion conversion) {
    ConvertCase(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()), conversion);
    return text;
  };
  EXPECT_EQ(converted(lower + unpaired, CaseConversion::Upper), upper + unpaired);
  EXPECT_EQ(converted(upper + unpaired, CaseConversion::Lower), lower + unpaired);
  EXPECT_EQ(converted(lower + upper, CaseConversion::None), lower + upper);
}

// Both ends lose their blanks, the inside keeps them; cPrng trims spaces only.
TEST(Text, TrimBlanksTakesBlanksFromBothEndsOnly) {
  const std::tuple<std::string_view, std::string_view, std::string_view> rows[] = {
      {" \t1 5\t ", " \t", "1 5"}, {"x", " \t", "x"},       {" \t \t", " \t", ""}, {"", " \t", ""},
      {"\t a \t", " ", "\t a \t"}, {"  a\t  ", " ", "a\t"},
  };
  for (const auto& [text, blanks, trimmed] : rows) EXPECT_EQ(TrimBlanks(text, blanks), trimmed);
  EXPECT_EQ(TrimBlanks("\t 6 \t"), "6");
}

// Each scope hands back what it found, the yield policy included: once the
// inner scope ends, the outer pump runs at every yield again.
TEST(Services, NestedScopesRestoreExactlyWhatEachFound) {
  RecordingMessageBoxes boxes;
  CountingPump outer_pump, inner_pump;
  {
    ScopedServices outer(Pumping(outer_pump, YieldPolicy::EveryYield()));
    {
      FakeTicks ticks;
      ScopedServices inner(Pumping(inner_pump, YieldPolicy::Production()));
      EXPECT_EQ(CurrentServices().boxes, &boxes);
      for (int i = 0; i < 1000; ++i) Yield();
      EXPECT_EQ(inner_pump.pumped, 0);
    }
    EXPECT_EQ(CurrentServices().clock, nullptr);
    EXPECT_EQ(CurrentServices().pump, &outer_pump);
    Yield();
    Yield();
    EXPECT_EQ(outer_pump.pumped, 2);
  }
  EXPECT_EQ(CurrentServices().pump, nullptr);
  EXPECT_EQ(CurrentServices().yield_policy.steps_per_clock_read,
            YieldPolicy::Production().steps_per_clock_read);
  MsgBox("after");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"after"});
}

TEST(ServicesDeathTest, AScopeEndingBeforeOneBegunInsideItStopsTheProgram) {
  EXPECT_DEATH(
      {
        auto* outer = new ScopedServices([](Services&) {});
        ScopedServices inner([](Services&) {});
        delete outer;
      },
      "out of order");
}

TEST(ErrorBox, NamesTheFailingStatementAndTheProcedureGoesOn) {
  EXPECT_EQ(ErrorBoxText("Overflow", "Form1", "PushButton1_Click", 30),
            "Overflow\r\nin Torvane2021/08/31.Form1.PushButton1_Click at line 30\r\r"
            "Please email screenshot of this message to support@torvane.dev");
  RecordingMessageBoxes boxes;
  ErrorTrap trap("FileCreator", "CalcProgress");
  std::vector<int> ran;
  trap(10, [&] { ran.push_back(10); });
  EXPECT_FALSE(trap(20, [&] { throw std::overflow_error("Overflow"); }));
  trap(30, [&] { ran.push_back(30); });
  EXPECT_EQ(ran, (std::vector<int>{10, 30}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "Application Error");
  EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_NE(boxes.shown[0].text.find("in Torvane2021/08/31.FileCreator.CalcProgress at line 20"),
            std::string::npos);
}

TEST(MessageBox, DefaultTitleIsTheApplicationTitle) {
  RecordingMessageBoxes boxes;
  MsgBox("Done.");
  MsgBox("x", MsgIcon::Exclamation, "Other");
  EXPECT_EQ(boxes.shown[0].title, "Torvane");
  EXPECT_EQ(boxes.shown[1].title, "Other");
  EXPECT_EQ(LocatedMessage("Failed to write to file.", "clsBigFiles", "API_WriteFile"),
            "Failed to write to file.\r\n\r\nclsBigFiles.API_WriteFile");
}

TEST(NumberLocale, ThousandsUseTheUserSeparator) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1457664), "1,457,664");
  EXPECT_EQ(FormatThousands(-2147483648LL), "-2,147,483,648");
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
  EXPECT_TRUE(store.Contains("Text1"));
  EXPECT_FALSE(store.Contains("Text2"));
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
