#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::RecordingMessageBoxes;
using ui::Form1;

std::string S(const QString& text) { return text.toStdString(); }

std::string LoadErrorLine(const std::string& description, int line) {
  return description + "\r\nin Torvane2021/08/31.Form1.Form_Load at line " + std::to_string(line);
}

TEST(FirstStart, ShowsEveryDefaultAndStoresTheRestoredControls) {
  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  Form1 form(sandbox.store);
  form.Form_Load();

  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(S(form.Text1->text()), "0");
  EXPECT_EQ(S(form.Text2->text()), "255");
  EXPECT_EQ(S(form.Text3->text()), "6");
  EXPECT_EQ(S(form.Text4->text()), sandbox.Desktop() + "/");
  for (QRadioButton* selected : {form.Option1, form.Option4, form.Option6, form.Option8})
    EXPECT_TRUE(selected->isChecked()) << S(selected->text());
  EXPECT_EQ(S(form.Combo1->currentText()), "1 kb (1,024 bytes)");
  EXPECT_EQ(S(form.Combo2->currentText()), "Bytes [ Minimum 6 bytes ]");
  EXPECT_TRUE(form.Combo1->isEnabled());
  EXPECT_FALSE(form.Text3->isEnabled());
  EXPECT_FALSE(form.Combo2->isEnabled());
  EXPECT_EQ(sandbox.StoredKeys(),
            QStringList({"Combo1", "Combo2", "Output Folder", "Text3"}));
  EXPECT_EQ(sandbox.Stored("Output Folder"), sandbox.Desktop() + "/");
  EXPECT_EQ(S(form.windowTitle()), "Torvane Software");
  EXPECT_EQ(S(form.PushButton1->text()), "Start Creating File");
  EXPECT_EQ(S(form.ProgressBar1->text()), "Progress Bar");
}

TEST(FirstStart, ListsOfferTheirFixedEntriesInOrder) {
  GuiSandbox sandbox;
  Form1 form(sandbox.store);
  form.Form_Load();
  ASSERT_EQ(form.Combo1->count(), 24);
  EXPECT_EQ(S(form.Combo1->itemText(21)), "10 mb (10,485,760 bytes)");
  EXPECT_EQ(S(form.Combo1->itemText(22)), "1.44 mb (1,457,664 bytes)");
  EXPECT_EQ(S(form.Combo1->itemText(23)), "720 kb (730,112 bytes)");
  ASSERT_EQ(form.Combo2->count(), 4);
  EXPECT_EQ(S(form.Combo2->itemText(1)), "Kilobytes [ Length  x  1,024 ]");
  EXPECT_EQ(S(form.Combo2->itemText(2)), "Megabytes [ Length  x  1,048,576 ]");
  EXPECT_EQ(S(form.Combo2->itemText(3)), "Gigabytes [ Length  x  1,073,741,824 ]");
  EXPECT_FALSE(form.Combo1->isEditable());
}

TEST(FirstStart, OpensWithTheFocusOnTheFirstEnabledControl) {
  GuiSandbox sandbox;
  for (const char* custom : {"False", "True"}) {
    sandbox.Seed("Option9", custom);
    Form1 form(sandbox.store);
    form.Form_Load();
    form.show();
    const QWidget* expected = std::string(custom) == "True" ? static_cast<QWidget*>(form.Text1)
                                                            : form.Combo1;
    EXPECT_EQ(form.focusWidget(), expected) << "Option9 " << custom;
  }
}

// One stored state, what the window shows after start-up, and the error
// boxes start-up showed on the way.
struct RestoreCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> stored;
  std::vector<std::string> boxes;  // the start of each box's text
  std::function<void(Form1&, GuiSandbox&)> check;
};
void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

class Restore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, StartUp) {
  GuiSandbox sandbox;
  for (const auto& [key, value] : GetParam().stored) sandbox.Seed(key, value);
  RecordingMessageBoxes boxes;
  Form1 form(sandbox.store);
  form.Form_Load();

  ASSERT_EQ(boxes.shown.size(), GetParam().boxes.size());
  for (std::size_t i = 0; i < boxes.shown.size(); ++i) {
    EXPECT_EQ(boxes.shown[i].text.substr(0, GetParam().boxes[i].size()), GetParam().boxes[i]);
    EXPECT_EQ(boxes.shown[i].title, "Application Error");
    EXPECT_EQ(boxes.shown[i].icon, MsgIcon::Exclamation);
  }
  GetParam().check(form, sandbox);
}

INSTANTIATE_TEST_SUITE_P(
    StoredSettings, Restore,
    ::testing::Values(
        RestoreCase{"CustomizeEnablesTheLengthAndUnit",
                    {{"Option8", "False"}, {"Option9", "True"}},
                    {},
                    [](Form1& form, GuiSandbox&) {
                      EXPECT_TRUE(form.Option9->isChecked());
                      EXPECT_FALSE(form.Combo1->isEnabled());
                      EXPECT_TRUE(form.Text3->isEnabled());
                      EXPECT_TRUE(form.Combo2->isEnabled());
                    }},
        RestoreCase{"ShortByteLengthIsLiftedToSixAndStored",
                    {{"Text3", "3"}, {"Combo2", "0"}},
                    {},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_EQ(S(form.Text3->text()), "6");
                      EXPECT_EQ(sandbox.Stored("Text3"), "6");
                    }},
        RestoreCase{"ShortKilobyteLengthIsKept",
                    {{"Text3", "3"}, {"Combo2", "1"}},
                    {},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_EQ(S(form.Text3->text()), "3");
                      EXPECT_EQ(sandbox.Stored("Text3"), "3");
                      EXPECT_EQ(form.Combo2->currentIndex(), 1);
                    }},
        RestoreCase{"TextsComeBackUnvalidated",
                    {{"Low", "abc"}, {"High", "-3"}, {"Output Folder", "/no/such/place/"}},
                    {},
                    [](Form1& form, GuiSandbox&) {
                      EXPECT_EQ(S(form.Text1->text()), "abc");
                      EXPECT_EQ(S(form.Text2->text()), "-3");
                      EXPECT_EQ(S(form.Text4->text()), "/no/such/place/");
                    }},
        RestoreCase{"PresetIndexOutsideTheListCostsOnlyItsOwnStep",
                    {{"Combo1", "40"}, {"Combo2", "2"}, {"Option5", "True"}},
                    {LoadErrorLine("Invalid property value", 210)},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_EQ(form.Combo2->currentIndex(), 2);
                      EXPECT_TRUE(form.Option5->isChecked());
                      // The list shows its first entry, and the store now says so.
                      EXPECT_EQ(form.Combo1->currentIndex(), 0);
                      EXPECT_EQ(sandbox.Stored("Combo1"), "0");
                    }},
        RestoreCase{"ListIndexThatIsNoNumber",
                    {{"Combo2", "kb"}, {"Text3", "2"}},
                    {LoadErrorLine("Type mismatch", 230)},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_EQ(form.Combo2->currentIndex(), 0);
                      EXPECT_EQ(sandbox.Stored("Combo2"), "0");
                      // The unit shown is bytes, so its minimum holds.
                      EXPECT_EQ(S(form.Text3->text()), "6");
                    }},
        RestoreCase{"ListIndexBeyondSixteenBits",
                    {{"Combo1", "70000"}},
                    {LoadErrorLine("Overflow", 210)},
                    [](Form1& form, GuiSandbox&) { EXPECT_EQ(form.Combo1->currentIndex(), 0); }},
        RestoreCase{"UnreadableOptionCostsOnlyItsOwnStep",
                    {{"Option2", "maybe"}, {"Option3", "True"}, {"Option7", "True"}},
                    {LoadErrorLine("Type mismatch", 120)},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_TRUE(form.Option3->isChecked());
                      EXPECT_TRUE(form.Option7->isChecked());
                      EXPECT_EQ(sandbox.Stored("Option2"), "False");
                      EXPECT_EQ(sandbox.Stored("Option3"), "True");
                    }},
        RestoreCase{"OptionsReadBackFromNumbers",
                    {{"Option1", "0"}, {"Option2", "-1"}, {"Option4", "0"}, {"Option5", "1"}},
                    {},
                    [](Form1& form, GuiSandbox& sandbox) {
                      EXPECT_TRUE(form.Option2->isChecked());
                      EXPECT_TRUE(form.Option5->isChecked());
                      // Selecting wrote the frame in its own form.
                      EXPECT_EQ(sandbox.Stored("Option2"), "True");
                      EXPECT_EQ(sandbox.Stored("Option1"), "False");
                    }},
        RestoreCase{"NoFrameIsLeftWithoutASelection",
                    {{"Option8", "False"}, {"Option9", "False"}},
                    {},
                    [](Form1& form, GuiSandbox&) {
                      EXPECT_TRUE(form.Option8->isChecked());
                      EXPECT_TRUE(form.Combo1->isEnabled());
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MissingDesktop, CostsTheDefaultButNotTheStoredFolder) {
  GuiSandbox sandbox;
  sandbox.SetHome(sandbox.Home() + "/gone");
  RecordingMessageBoxes boxes;
  {
    Form1 form(sandbox.store);
    form.Form_Load();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0].substr(0, 80),
              LoadErrorLine("Invalid procedure call or argument", 60).substr(0, 80));
    EXPECT_EQ(S(form.Text4->text()), "");
    EXPECT_EQ(S(form.Text3->text()), "6");
  }
  sandbox.Seed("Output Folder", "/srv/out/");
  Form1 form(sandbox.store);
  form.Form_Load();
  EXPECT_EQ(S(form.Text4->text()), "/srv/out/");
  EXPECT_EQ(sandbox.Stored("Output Folder"), "/srv/out/");
}

// A 16 x 16 cursor file with its hot spot at (5, 7).
std::string CursorFile() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "ico");
  QByteArray bytes = buffer.data();
  bytes[2] = 2;  // a cursor, not an icon
  bytes[10] = 5;
  bytes[11] = 0;
  bytes[12] = 7;
  bytes[13] = 0;
  return bytes.toStdString();
}

class HoverPointer : public ::testing::Test {
 protected:
  void Move(QWidget* over) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(over, &move);
  }
  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
};

TEST_F(HoverPointer, WithoutTheCursorFileTheButtonsShowTheStandardPointer) {
  Form1 form(sandbox.store);
  form.Form_Load();
  EXPECT_FALSE(form.HasCustomPointer());
  Move(form.PushButton1);
  EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HoverPointer, TheHandShowsOverTheButtonsOnlyAndNeverReplacesTheBusyPointer) {
  testing::WriteFileBytes(sandbox.AppFolder() + "/HAND-M.CUR", CursorFile());
  Form1 form(sandbox.store);
  form.Form_Load();
  ASSERT_TRUE(form.HasCustomPointer());
  Move(form.PushButton7);
  EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(form.cursor().hotSpot(), QPoint(5, 7));
  Move(form.Frame3);
  EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
  Move(form.PushButton1);
  EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);

  form.SetMousePointer(MousePointer::Hourglass);
  Move(form.Frame1);
  Move(form.PushButton1);
  EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
}

TEST_F(HoverPointer, AnUnreadableCursorFileIsReportedAndTheRestLoads) {
  testing::WriteFileBytes(sandbox.AppFolder() + "/HAND-M.CUR", "not a cursor");
  Form1 form(sandbox.store);
  form.Form_Load();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0].substr(0, 60), LoadErrorLine("Invalid picture", 20).substr(0, 60));
  EXPECT_FALSE(form.HasCustomPointer());
  EXPECT_EQ(S(form.Text2->text()), "255");
}

}  // namespace
}  // namespace torvane
