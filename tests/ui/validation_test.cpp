#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include "common/number_locale.h"
#include "tests/ui/gui_support.h"
#include "ui/form1.h"
#include "ui/numeric_text.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::RecordingMessageBoxes;
using testing::Shown;
using ui::Form1;
using ui::TextBox;

TEST(NumberText, IsANumberAndComparesRoundedHalfToEven) {
  for (const char* number : {"  -5 ", "+7", ".5", "7."})
    EXPECT_TRUE(ui::IsNumeric(number)) << number;
  for (const char* text : {"", " ", "1e3", "1.2.3", "-", ".", "1 2"})
    EXPECT_FALSE(ui::IsNumeric(text)) << text;
  EXPECT_EQ(ui::ComparedValue("-2.5"), -2.0);
  EXPECT_EQ(ui::ComparedValue("3.5"), 4.0);
  const NumberLocale saved = UserNumberLocale();
  SetUserNumberLocale({",", "."});  // the user's decimal separator
  EXPECT_EQ(ui::ComparedValue("3,5"), 4.0);
  EXPECT_FALSE(ui::IsNumeric("3.5"));
  SetUserNumberLocale(saved);
}

// A shown, active window whose boxes are entered and left as a user does.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Form_Load();
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  // Enters the box, types over its text, and leaves it for the folder box.
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

// The three boxes' texts, one of them left: the message, if any, and the texts after.
struct LeaveCase {
  const char* name;
  int unit;   // -1: preset size, else the custom unit
  int leave;  // 1 Low, 2 High, 3 length
  std::array<const char*, 3> before;
  const char* message;  // "" when the entry is accepted
  std::array<const char*, 3> after;
};
void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

class LeaveBox : public WindowFixture, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveBox, ValidatesAndResets) {
  const LeaveCase& c = GetParam();
  if (c.unit >= 0) UseCustomSize(c.unit);
  TextBox* const boxes_in_order[] = {form.Text1, form.Text2, form.Text3};
  for (int i = 0; i < 3; ++i) boxes_in_order[i]->setText(c.before[i]);
  TypeAndLeave(boxes_in_order[c.leave - 1], c.before[c.leave - 1]);

  if (*c.message == '\0') {
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
  } else {
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(boxes.shown[0].title, "Torvane");
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::None);
  }
  // Every key holds what its box shows, resets included (never written: the default).
  const char* const keys[] = {"Low", "High", "Text3"};
  const char* const defaults[] = {"0", "255", "6"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(boxes_in_order[i]->text().toStdString(), c.after[i]) << keys[i];
    EXPECT_EQ(sandbox.Stored(keys[i]).value_or(defaults[i]), c.after[i]) << keys[i];
  }
}

constexpr const char* kNumeric = "Must be a numeric entry.";
constexpr const char* kLow = "Low must not be greater than or equal to high.";
constexpr const char* kHigh = "High must not be less than or equal to low.";
constexpr const char* kMinimum = "Must be greater than or equal to 6.";

INSTANTIATE_TEST_SUITE_P(
    Entries, LeaveBox,
    ::testing::Values(
        LeaveCase{"LowAboveHigh", -1, 1, {"10", "5", "6"}, kLow, {"0", "5", "6"}},
        LeaveCase{"HighEqualToLow", -1, 2, {"0", "0", "6"}, kHigh, {"0", "255", "6"}},
        LeaveCase{"HighNoNumber", -1, 2, {"0", "abc", "6"}, kNumeric, {"0", "255", "6"}},
        LeaveCase{"LowNoNumber", -1, 1, {"x1", "255", "6"}, kNumeric, {"0", "255", "6"}},
        LeaveCase{"NegativeLow", -1, 1, {"-5", "255", "6"}, "", {"-5", "255", "6"}},
        LeaveCase{"LowHalfDownToHigh", -1, 1, {"2.5", "2", "6"}, kLow, {"0", "2", "6"}},
        LeaveCase{"LowHalfToEvenBelowHigh", -1, 1, {"2.5", "3", "6"}, "", {"2.5", "3", "6"}},
        LeaveCase{"LowHalfUpToHigh", -1, 1, {"3.5", "4", "6"}, kLow, {"0", "4", "6"}},
        // Beyond 16 bits the order is still kept, and nothing fails.
        LeaveCase{"LowBeyond16Bits", -1, 1, {"40000", "255", "6"}, kLow, {"0", "255", "6"}},
        LeaveCase{"HighBeyond16Bits", -1, 2, {"0", "99999", "6"}, "", {"0", "99999", "6"}},
        // With the other box no number there is no order to keep.
        LeaveCase{"LowAgainstTextHigh", -1, 1, {"10", "ten", "6"}, "", {"10", "ten", "6"}},
        LeaveCase{"HighAgainstEmptyLow", -1, 2, {"", "5", "6"}, "", {"", "5", "6"}},
        LeaveCase{"BytesBelowMinimum", 0, 3, {"0", "255", "5"}, kMinimum, {"0", "255", "6"}},
        LeaveCase{"BytesRoundUpToMinimum", 0, 3, {"0", "255", "5.5"}, "", {"0", "255", "5.5"}},
        LeaveCase{"KilobytesNoMinimum", 1, 3, {"0", "255", "1"}, "", {"0", "255", "1"}},
        LeaveCase{"LengthNoNumber", 2, 3, {"0", "255", "12a"}, kNumeric, {"0", "255", "12a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowFixture, AnEmptiedLengthBoxKeepsTheFocusUntilSwitchedOff) {
  UseCustomSize(0);
  TypeAndLeave(form.Text3, "");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kNumeric});
  EXPECT_EQ(QApplication::focusWidget(), form.Text3);
  EXPECT_EQ(sandbox.Stored("Text3"), "");
  // Pressing the option leaves the box again; the option then switches the
  // focused box off, which is no further leave.
  QTest::mouseClick(form.Option8, Qt::LeftButton);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, kNumeric));
  EXPECT_EQ(Shown(form, "Text3"), "");
}

TEST_F(WindowFixture, SwitchingTheUnitToBytesLiftsTheLengthSilently) {
  UseCustomSize(1);
  TypeAndLeave(form.Text3, "1");
  form.Combo2->setCurrentIndex(2);
  EXPECT_EQ(Shown(form, "Text3"), "1");  // another unit never changes it
  form.Combo2->setCurrentIndex(0);
  EXPECT_EQ(Shown(form, "Text3"), "6");
  EXPECT_EQ(sandbox.Stored("Text3"), "6");
  EXPECT_EQ(sandbox.Stored("Combo2"), "0");
  EXPECT_TRUE(boxes.shown.empty());
}

// Clicks on options, in order: the keys their frames then hold, and the size controls.
struct ClickCase {
  std::vector<int> clicks;
  std::vector<std::pair<std::string, std::string>> stored;
  bool preset_enabled;
};
void PrintTo(const ClickCase& c, std::ostream* os) { *os << "Option" << c.clicks.back(); }

class OptionClick : public WindowFixture, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(OptionClick, WritesItsFrameAndSwitchesTheSizeControls) {
  for (int option : GetParam().clicks)
    QTest::mouseClick(form.findChild<QRadioButton*>(QString("Option%1").arg(option)),
                      Qt::LeftButton);
  for (const auto& [key, value] : GetParam().stored) EXPECT_EQ(sandbox.Stored(key), value) << key;
  EXPECT_EQ(form.Combo1->isEnabled(), GetParam().preset_enabled);
  EXPECT_EQ(form.Text3->isEnabled(), !GetParam().preset_enabled);
  EXPECT_EQ(form.Combo2->isEnabled(), !GetParam().preset_enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Options, OptionClick,
    ::testing::Values(
        ClickCase{{9}, {{"Option8", "False"}, {"Option9", "True"}}, false},
        ClickCase{{9, 8}, {{"Option8", "True"}, {"Option9", "False"}}, true},
        ClickCase{{3}, {{"Option1", "False"}, {"Option2", "False"}, {"Option3", "True"}}, true},
        ClickCase{{5}, {{"Option4", "False"}, {"Option5", "True"}}, true},
        ClickCase{{7}, {{"Option6", "False"}, {"Option7", "True"}}, true}));

}  // namespace
}  // namespace torvane
