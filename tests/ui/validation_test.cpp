#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include "common/number_locale.h"
#include "tests/ui/gui_support.h"
#include "ui/form1.h"
#include "ui/numeric_text.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::RecordingMessageBoxes;
using ui::Form1;
using ui::TextBox;

std::string S(const QString& text) { return text.toStdString(); }

struct NumberCase {
  const char* text;
  std::optional<double> compared;  // empty: not a number
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class NumberText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberText, IsANumberAndComparesRoundedHalfToEven) {
  EXPECT_EQ(ui::IsNumeric(GetParam().text), GetParam().compared.has_value());
  EXPECT_EQ(ui::ComparedValue(GetParam().text), GetParam().compared);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberText,
    ::testing::Values(NumberCase{"255", 255}, NumberCase{"  -5 ", -5}, NumberCase{"+7", 7},
                      NumberCase{"2.5", 2}, NumberCase{"3.5", 4}, NumberCase{"-2.5", -2},
                      NumberCase{".5", 0}, NumberCase{"7.", 7}, NumberCase{"99999", 99999},
                      NumberCase{"", {}}, NumberCase{" ", {}}, NumberCase{"abc", {}},
                      NumberCase{"1e3", {}}, NumberCase{"1.2.3", {}}, NumberCase{"-", {}},
                      NumberCase{".", {}}, NumberCase{"1 2", {}}, NumberCase{"0x10", {}}));

TEST(NumberTextLocale, TakesTheUsersDecimalSeparator) {
  const NumberLocale saved = UserNumberLocale();
  SetUserNumberLocale({",", "."});
  EXPECT_EQ(ui::ComparedValue("3,5"), 4.0);
  EXPECT_FALSE(ui::IsNumeric("3.5"));
  SetUserNumberLocale(saved);
}

// A shown, active window whose boxes can be entered and left as a user does.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Form_Load();
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  // Enters the box, types the text, and leaves it for the folder box.
  void TypeAndLeave(TextBox* box, const char* typed) {
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, typed);
    if (*typed == '\0') QTest::keyClick(box, Qt::Key_Backspace);
    form.Text4->setFocus(Qt::MouseFocusReason);
  }
  void UseCustomSize(int unit) {
    QTest::mouseClick(form.Option9, Qt::LeftButton);
    form.Combo2->setCurrentIndex(unit);
  }

  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  Form1 form{sandbox.store};
};

// One box left with a text: the message (if any) and what every box holds.
struct LeaveCase {
  const char* name;
  const char* low;
  const char* high;
  int unit;             // -1: preset size, else the custom unit
  const char* length;
  int leave;            // 1 Low, 2 High, 3 length
  const char* message;  // "" when the entry is accepted
  const char* low_after;
  const char* high_after;
  const char* length_after;
};
void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

class LeaveBox : public WindowFixture, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveBox, ValidatesAndResets) {
  const LeaveCase& c = GetParam();
  if (c.unit >= 0) UseCustomSize(c.unit);
  form.Text1->setText(c.low);
  form.Text2->setText(c.high);
  form.Text3->setText(c.length);
  TextBox* const left[] = {nullptr, form.Text1, form.Text2, form.Text3};
  const char* const typed[] = {nullptr, c.low, c.high, c.length};
  TypeAndLeave(left[c.leave], typed[c.leave]);

  if (std::string(c.message).empty()) {
    EXPECT_TRUE(boxes.shown.empty()) << boxes.Texts().front();
  } else {
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.message);
    EXPECT_EQ(boxes.shown[0].title, "Torvane");
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::None);
  }
  EXPECT_EQ(S(form.Text1->text()), c.low_after);
  EXPECT_EQ(S(form.Text2->text()), c.high_after);
  EXPECT_EQ(S(form.Text3->text()), c.length_after);
  // Every box's key holds what the box shows, resets included (a key never
  // written reads as its default).
  EXPECT_EQ(sandbox.Stored("Low").value_or("0"), c.low_after);
  EXPECT_EQ(sandbox.Stored("High").value_or("255"), c.high_after);
  EXPECT_EQ(sandbox.Stored("Text3"), c.length_after);
}

constexpr const char* kNumeric = "Must be a numeric entry.";
constexpr const char* kLow = "Low must not be greater than or equal to high.";
constexpr const char* kHigh = "High must not be less than or equal to low.";
constexpr const char* kMinimum = "Must be greater than or equal to 6.";

INSTANTIATE_TEST_SUITE_P(
    Entries, LeaveBox,
    ::testing::Values(
        LeaveCase{"LowAboveHigh", "10", "5", -1, "6", 1, kLow, "0", "5", "6"},
        LeaveCase{"HighEqualToLow", "0", "0", -1, "6", 2, kHigh, "0", "255", "6"},
        LeaveCase{"HighNotANumber", "0", "abc", -1, "6", 2, kNumeric, "0", "255", "6"},
        LeaveCase{"LowNotANumber", "x1", "255", -1, "6", 1, kNumeric, "0", "255", "6"},
        LeaveCase{"NegativeLowAccepted", "-5", "255", -1, "6", 1, "", "-5", "255", "6"},
        LeaveCase{"LowHalfRoundsDownToHigh", "2.5", "2", -1, "6", 1, kLow, "0", "2", "6"},
        LeaveCase{"LowHalfRoundsToEvenBelowHigh", "2.5", "3", -1, "6", 1, "", "2.5", "3", "6"},
        LeaveCase{"LowHalfRoundsUpToHigh", "3.5", "4", -1, "6", 1, kLow, "0", "4", "6"},
        LeaveCase{"HighHalfRoundsToEvenOntoLow", "2", "2.5", -1, "6", 2, kHigh, "2", "255", "6"},
        // Outside 16 bits the order is still kept, and nothing fails.
        LeaveCase{"LowBeyondSixteenBits", "40000", "255", -1, "6", 1, kLow, "0", "255", "6"},
        LeaveCase{"HighBeyondSixteenBits", "0", "99999", -1, "6", 2, "", "0", "99999", "6"},
        // With the other box not a number there is no order to keep.
        LeaveCase{"LowAgainstATextHigh", "10", "ten", -1, "6", 1, "", "10", "ten", "6"},
        LeaveCase{"HighAgainstAnEmptyLow", "", "5", -1, "6", 2, "", "", "5", "6"},
        LeaveCase{"ByteLengthBelowMinimum", "0", "255", 0, "5", 3, kMinimum, "0", "255", "6"},
        LeaveCase{"ByteLengthRoundsUpToMinimum", "0", "255", 0, "5.5", 3, "", "0", "255", "5.5"},
        LeaveCase{"KilobyteLengthHasNoMinimum", "0", "255", 1, "1", 3, "", "0", "255", "1"},
        LeaveCase{"LengthNotANumberKeepsItsText", "0", "255", 2, "12a", 3, kNumeric, "0", "255",
                  "12a"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowFixture, AnEmptiedLengthBoxKeepsTheFocus) {
  UseCustomSize(0);
  TypeAndLeave(form.Text3, "");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kNumeric});
  EXPECT_EQ(QApplication::focusWidget(), form.Text3);
  EXPECT_EQ(S(form.Text3->text()), "");
  EXPECT_EQ(sandbox.Stored("Text3"), "");
}

TEST_F(WindowFixture, SwitchingOffTheLengthBoxIsNoSecondLeave) {
  UseCustomSize(0);
  TypeAndLeave(form.Text3, "");
  // Pressing the option leaves the box (a message, the focus back); the
  // option then switches the focused box off, which is no further leave.
  QTest::mouseClick(form.Option8, Qt::LeftButton);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, kNumeric));
  EXPECT_FALSE(form.Text3->isEnabled());
}

TEST_F(WindowFixture, SwitchingTheUnitToBytesLiftsTheLengthSilently) {
  UseCustomSize(1);
  TypeAndLeave(form.Text3, "1");
  form.Combo2->setCurrentIndex(2);
  EXPECT_EQ(S(form.Text3->text()), "1");  // another unit never changes it
  form.Combo2->setCurrentIndex(0);
  EXPECT_EQ(S(form.Text3->text()), "6");
  EXPECT_EQ(sandbox.Stored("Text3"), "6");
  EXPECT_EQ(sandbox.Stored("Combo2"), "0");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowFixture, SwitchingToBytesLeavesALengthThatIsNoNumber) {
  UseCustomSize(1);
  form.Text3->setText("abc");
  form.Combo2->setCurrentIndex(0);
  EXPECT_EQ(S(form.Text3->text()), "abc");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowFixture, EveryKeystrokeIsStoredBeforeItIsValidated) {
  form.Text2->setFocus(Qt::MouseFocusReason);
  form.Text2->selectAll();
  QTest::keyClicks(form.Text2, "12");
  EXPECT_EQ(sandbox.Stored("High"), "12");
  QTest::keyClicks(form.Text2, "x");
  EXPECT_EQ(sandbox.Stored("High"), "12x");
}

// A click on an option: the keys of its frame, and the size controls.
struct ClickCase {
  int option;
  std::vector<std::pair<std::string, std::string>> stored;
  bool preset_enabled;
};
void PrintTo(const ClickCase& c, std::ostream* os) { *os << "Option" << c.option; }

class OptionClick : public WindowFixture, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(OptionClick, WritesItsFrameAndSwitchesTheSizeControls) {
  QRadioButton* const options[] = {form.Option1, form.Option2, form.Option3,
                                   form.Option4, form.Option5, form.Option6,
                                   form.Option7, form.Option8, form.Option9};
  QTest::mouseClick(options[GetParam().option - 1], Qt::LeftButton);
  for (const auto& [key, value] : GetParam().stored) EXPECT_EQ(sandbox.Stored(key), value) << key;
  EXPECT_EQ(form.Combo1->isEnabled(), GetParam().preset_enabled);
  EXPECT_EQ(form.Text3->isEnabled(), !GetParam().preset_enabled);
  EXPECT_EQ(form.Combo2->isEnabled(), !GetParam().preset_enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Options, OptionClick,
    ::testing::Values(
        ClickCase{9, {{"Option8", "False"}, {"Option9", "True"}}, false},
        ClickCase{3, {{"Option1", "False"}, {"Option2", "False"}, {"Option3", "True"}}, true},
        ClickCase{5, {{"Option4", "False"}, {"Option5", "True"}}, true},
        ClickCase{7, {{"Option6", "False"}, {"Option7", "True"}}, true}));

TEST_F(WindowFixture, PredefineSizeSwitchesBack) {
  QTest::mouseClick(form.Option9, Qt::LeftButton);
  QTest::mouseClick(form.Option8, Qt::LeftButton);
  EXPECT_EQ(sandbox.Stored("Option8"), "True");
  EXPECT_EQ(sandbox.Stored("Option9"), "False");
  EXPECT_TRUE(form.Combo1->isEnabled());
  EXPECT_FALSE(form.Text3->isEnabled());
}

}  // namespace
}  // namespace torvane
