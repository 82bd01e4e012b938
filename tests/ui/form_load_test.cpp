#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::RecordingMessageBoxes;
using testing::Shown;
using ui::Form1;

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string LoadError(const std::string& description, int line) {
  return description + "\r\nin Torvane2021/08/31.Form1.Form_Load at line " + std::to_string(line);
}

void ExpectShown(Form1& form, const Pairs& shown) {
  for (const auto& [control, value] : shown) EXPECT_EQ(Shown(form, control), value) << control;
}

TEST(FirstStart, ShowsEveryDefaultAndStoresTheRestoredControls) {
  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  Form1 form(sandbox.store);
  form.Form_Load();

  EXPECT_TRUE(boxes.shown.empty());
  ExpectShown(form, {{"Text1", "0"},
                     {"Text2", "255"},
                     {"Text3", "6"},
                     {"Text4", sandbox.Desktop() + "/"},
                     {"Option1", "True"},
                     {"Option4", "True"},
                     {"Option6", "True"},
                     {"Option8", "True"},
                     {"Combo1", "1 kb (1,024 bytes)"},
                     {"Combo2", "Bytes [ Minimum 6 bytes ]"},
                     {"enabled:Combo1", "True"},
                     {"enabled:Text3", "False"},
                     {"enabled:Combo2", "False"}});
  EXPECT_EQ(sandbox.StoredKeys(),
            (std::vector<std::string>{"Combo1", "Combo2", "Output Folder", "Text3"}));
  EXPECT_EQ(sandbox.Stored("Output Folder"), sandbox.Desktop() + "/");
  EXPECT_EQ(form.ProgressBar1->text().toStdString(), "Progress Bar");
  // The minimum-length rule compares the unit list's texts byte for byte.
  EXPECT_EQ(form.Combo2->itemText(1).toStdString(), "Kilobytes [ Length  x  1,024 ]");
  EXPECT_EQ(form.Combo1->count(), 24);
}

TEST(FirstStart, OpensWithTheFocusOnTheFirstEnabledControl) {
  GuiSandbox sandbox;
  for (const char* custom : {"False", "True"}) {
    sandbox.Seed("Option9", custom);
    Form1 form(sandbox.store);
    form.Form_Load();
    form.show();
    QWidget* first =
        std::string(custom) == "True" ? static_cast<QWidget*>(form.Text1) : form.Combo1;
    EXPECT_EQ(form.focusWidget(), first) << "Option9 " << custom;
  }
}

// A stored state: the error boxes that start-up shows, then what the window
// shows and what the store holds afterwards.
struct RestoreCase {
  const char* name;
  Pairs seeds;
  std::vector<std::string> boxes;
  Pairs shown;
  Pairs stored;
};
void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

class Restore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, StartUp) {
  const RestoreCase& c = GetParam();
  GuiSandbox sandbox;
  for (const auto& [key, value] : c.seeds) sandbox.Seed(key, value);
  RecordingMessageBoxes boxes;
  Form1 form(sandbox.store);
  form.Form_Load();

  ASSERT_EQ(boxes.shown.size(), c.boxes.size());
  for (std::size_t i = 0; i < c.boxes.size(); ++i) {
    EXPECT_EQ(boxes.shown[i].text.substr(0, c.boxes[i].size()), c.boxes[i]);
    EXPECT_EQ(boxes.shown[i].title, "Application Error");
    EXPECT_EQ(boxes.shown[i].icon, MsgIcon::Exclamation);
  }
  ExpectShown(form, c.shown);
  for (const auto& [key, value] : c.stored) EXPECT_EQ(sandbox.Stored(key), value) << key;
}

INSTANTIATE_TEST_SUITE_P(
    StoredSettings, Restore,
    ::testing::Values(RestoreCase{"Customize",
                                  {{"Option8", "False"}, {"Option9", "True"}},
                                  {},
                                  {{"enabled:Combo1", "False"},
                                   {"enabled:Text3", "True"},
                                   {"enabled:Combo2", "True"}},
                                  {}},
                      RestoreCase{"ShortByteLength",
                                  {{"Text3", "3"}, {"Combo2", "0"}},
                                  {},
                                  {{"Text3", "6"}},
                                  {{"Text3", "6"}}},
                      RestoreCase{"ShortKilobyteLength",
                                  {{"Text3", "3"}, {"Combo2", "1"}},
                                  {},
                                  {{"Text3", "3"}},
                                  {{"Text3", "3"}}},
                      RestoreCase{"PresetIndexOutsideTheList",
                                  {{"Combo1", "40"}, {"Combo2", "2"}, {"Option5", "1"}},
                                  {LoadError("Invalid property value", 210)},
                                  {{"Combo1", "1 kb (1,024 bytes)"},
                                   {"Combo2", "Megabytes [ Length  x  1,048,576 ]"},
                                   {"Option5", "True"}},
                                  {{"Combo1", "0"}, {"Option5", "True"}}},
                      RestoreCase{"UnreadableOption",
                                  {{"Option2", "maybe"}, {"Option3", "True"}, {"Option7", "true"}},
                                  {LoadError("Type mismatch", 120)},
                                  {{"Option3", "True"}, {"Option7", "True"}},
                                  {{"Option2", "False"}, {"Option3", "True"}}},
                      RestoreCase{"OptionsFromNumbers",
                                  {{"Option1", "0"}, {"Option2", "-1"}, {"Option4", "0"}},
                                  {},
                                  {{"Option2", "True"}, {"Option4", "True"}},
                                  {{"Option1", "False"}, {"Option2", "True"}}},
                      RestoreCase{"NoFrameWithoutASelection",
                                  {{"Option8", "False"}, {"Option9", "0"}},
                                  {},
                                  {{"Option8", "True"}, {"enabled:Combo1", "True"}},
                                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MissingDesktop, CostsTheDefaultButNotTheStoredFolder) {
  GuiSandbox sandbox;
  sandbox.SetHome(sandbox.Home() + "/gone");
  RecordingMessageBoxes boxes;
  for (const char* stored : {"", "/srv/out/"}) {
    if (*stored != '\0') sandbox.Seed("Output Folder", stored);
    boxes.shown.clear();
    Form1 form(sandbox.store);
    form.Form_Load();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(boxes.Texts()[0].starts_with(LoadError("Invalid procedure call or argument", 60)));
    ExpectShown(form, {{"Text4", stored}, {"Text3", "6"}});
  }
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

Qt::CursorShape AfterMoveOver(Form1& form, QWidget* over) {
  QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(over, &move);
  return form.cursor().shape();
}

TEST(HoverPointer, TheHandShowsOverTheButtonsButNeverOverTheBusyPointer) {
  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  {
    Form1 form(sandbox.store);  // no cursor file: the standard pointer
    form.Form_Load();
    EXPECT_EQ(AfterMoveOver(form, form.PushButton1), Qt::ArrowCursor);
  }
  testing::WriteFileBytes(sandbox.AppFolder() + "/HAND-M.CUR", CursorFile());
  Form1 form(sandbox.store);
  form.Form_Load();
  EXPECT_EQ(AfterMoveOver(form, form.PushButton7), Qt::BitmapCursor);
  EXPECT_EQ(form.cursor().hotSpot(), QPoint(5, 7));
  EXPECT_EQ(AfterMoveOver(form, form.Frame3), Qt::ArrowCursor);
  EXPECT_EQ(AfterMoveOver(form, form.PushButton1), Qt::BitmapCursor);
  form.SetMousePointer(MousePointer::Hourglass);
  EXPECT_EQ(AfterMoveOver(form, form.Frame1), Qt::WaitCursor);
  EXPECT_EQ(AfterMoveOver(form, form.PushButton1), Qt::WaitCursor);
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace torvane
