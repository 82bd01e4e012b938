#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "common/case_mapping.h"
#include "common/error_box.h"
#include "common/services.h"
#include "common/settings_store.h"
#include "common/yield.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using namespace testing;

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
}

// Each scope hands back what it found, the yield policy included: once the
// inner scope ends, the outer pump runs at every yield again.
// The error box names the failing statement and the procedure goes on; a
// box without a title of its own carries the application's.
TEST(Services, ScopesRestoreWhatTheyFoundAndTheErrorBoxNamesTheStatement) {
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
    for (int i = 0; i < 2; ++i) Yield();
    EXPECT_EQ(outer.count, 2);
  }
  EXPECT_EQ(CurrentServices().pump, nullptr);
  // A scope ending before one begun inside it would leave that one's doubles in force.
  std::optional<ScopedServices> first(std::in_place, Policy({}));
  std::optional<ScopedServices> second(std::in_place, Policy({}));
  EXPECT_DEATH(first.reset(), "out of order");
  second.reset();

  EXPECT_EQ(ErrorBoxText("Overflow", "Form1", "PushButton1_Click", 30),
            "Overflow\r\nin Torvane2021/08/31.Form1.PushButton1_Click at line 30\r\r"
            "Please email screenshot of this message to support@torvane.dev");
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
  MemorySettingsStore store;  // a setting is found by its key, whatever its section
  store.SaveSetting(kSettingsApplication, "Other", "Text1", "10");
  EXPECT_TRUE(store.Contains("Text1") && !store.Contains("Other"));
}

}  // namespace
}  // namespace torvane
