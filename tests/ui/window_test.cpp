// The window between runs: start-up from the store, the hover pointer, leaving
// the number boxes and the folder button.

#include <QBuffer>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "common/number_locale.h"
#include "common/text.h"
#include "tests/ui/gui_support.h"
#include "ui/add_folder.h"
#include "ui/numeric_text.h"

namespace torvane {
namespace {

using testing::Pairs;
using testing::WindowTest;

std::string LoadError(const std::string& description, int line) {
  return description + "\r\nin Torvane2021/08/31.Form1.Form_Load at line " + std::to_string(line);
}

TEST_F(WindowTest, FirstStartShowsEveryDefaultAndStoresTheRestoredControls) {
  Load();
  EXPECT_TRUE(boxes.shown.empty());
  // clang-format off
  ExpectShown({{"Text1", "0"}, {"Text2", "255"}, {"Text3", "6"}, {"Text4", Desktop() + kPathSeparator},
               {"Option1", "True"}, {"Option4", "True"}, {"Option6", "True"}, {"Option8", "True"},
               {"Combo1", "1 kb (1,024 bytes)"}, {"Combo2", "Bytes [ Minimum 6 bytes ]"},
               {"enabled", "Combo1"}, {"focus", "Combo1"}});
  // clang-format on
  EXPECT_EQ(StoredKeys(), std::vector<std::string>({"Combo1", "Combo2", "Output Folder", "Text3"}));
  EXPECT_EQ(Stored("Output Folder"), Desktop() + kPathSeparator);
}

// Every control changed from its default is stored under its own key and
// shown again after a restart on the same store.
TEST_F(WindowTest, EveryChangedControlSurvivesARestartUnderItsOwnKey) {
  struct Row {
    const char* control;
    const char* key;
    const char* stored;
    const char* shown = nullptr;  // when it is not the stored text
  };
  // clang-format off
  const Row rows[] = {
      {"Text4", "Output Folder", "/srv/out/"}, {"Text1", "Low", "12"}, {"Text2", "High", "200"},
      {"Text3", "Text3", "33"},
      {"Option1", "Option1", "False"}, {"Option2", "Option2", "False"},
      {"Option3", "Option3", "True"}, {"Option4", "Option4", "False"},
      {"Option5", "Option5", "True"}, {"Option6", "Option6", "False"},
      {"Option7", "Option7", "True"}, {"Option8", "Option8", "False"},
      {"Option9", "Option9", "True"},
      {"Combo1", "Combo1", "5", "10 kb (10,240 bytes)"},
      {"Combo2", "Combo2", "2", "Megabytes [ Length  x  1,048,576 ]"}};
  // clang-format on
  Load();
  for (const Row& row : rows) {
    QWidget* control = form->findChild<QWidget*>(row.control);
    if (auto* option = qobject_cast<QRadioButton*>(control); option && *row.stored == 'T')
      Click(option);
    if (auto* list = qobject_cast<QComboBox*>(control))
      list->setCurrentIndex(std::stoi(row.stored));
    if (auto* box = qobject_cast<QLineEdit*>(control)) box->setText(row.stored);
  }
  Load();
  std::vector<std::string> keys;
  for (const Row& row : rows) {
    EXPECT_EQ(Shown(row.control), row.shown ? row.shown : row.stored) << row.control;
    EXPECT_EQ(Stored(row.key), std::optional<std::string>(row.stored)) << row.key;
    keys.emplace_back(row.key);
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(StoredKeys(), keys);
  EXPECT_TRUE(boxes.shown.empty());
}

// A stored state: the error box that start-up shows (if any), then what the
// window shows and what the store holds afterwards. Restoring a selected option
// runs its click handling, which writes its frame.
struct RestoreCase {
  const char* name;
  Pairs seeds;
  std::string box;  // the start of its text
  Pairs shown, stored;
  bool no_desktop = false;
};
void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

class Restore : public WindowTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(Restore, StartUp) {
  const RestoreCase& c = GetParam();
  if (c.no_desktop && !testing::kHomeHoldsTheDesktop)
    GTEST_SKIP() << "the shell always has a desktop folder: no HOME takes it away";
  if (c.no_desktop) SetHome(Home() + "/gone");
  Load(c.seeds);
  EXPECT_EQ(boxes.shown.size(), c.box.empty() ? 0u : 1u);
  for (const auto& box : boxes.shown)
    EXPECT_TRUE(box.text.starts_with(c.box) && box.title == "Application Error" &&
                box.icon == MsgIcon::Exclamation)
        << box.text;
  ExpectShown(c.shown);
  for (const auto& [key, value] : c.stored) EXPECT_EQ(Stored(key), value) << key;
}

const std::string kNoDesktop = LoadError("Invalid procedure call or argument", 60);

// clang-format off
INSTANTIATE_TEST_SUITE_P(StoredSettings, Restore, ::testing::Values(
    RestoreCase{"Customize", {{"Option9", "True"}}, "",
        {{"enabled", "Text3 Combo2"}, {"focus", "Text1"}},
        {{"Option8", "False"}, {"Option9", "True"}}},
    RestoreCase{"ShortByteLength", {{"Text3", "3"}, {"Combo2", "0"}}, "",
        {{"Text3", "6"}}, {{"Text3", "6"}}},
    RestoreCase{"ShortKilobyteLength", {{"Text3", "3"}, {"Combo2", "1"}}, "",
        {{"Text3", "3"}, {"Combo2", "Kilobytes [ Length  x  1,024 ]"}}, {{"Text3", "3"}}},
    RestoreCase{"PresetIndexOutsideTheList", {{"Combo1", "40"}, {"Combo2", "2"}, {"Option5", "1"}},
        LoadError("Invalid property value", 210),
        {{"Combo1", "1 kb (1,024 bytes)"}, {"Combo2", "Megabytes [ Length  x  1,048,576 ]"}},
        {{"Combo1", "0"}, {"Option4", "False"}, {"Option5", "True"}}},
    RestoreCase{"UnreadableOption", {{"Option2", "maybe"}, {"Option3", "1"}, {"Option7", "true"}},
        LoadError("Type mismatch", 120), {{"Option3", "True"}, {"Option7", "True"}},
        {{"Option1", "False"}, {"Option2", "False"}, {"Option3", "True"}, {"Option7", "True"}}},
    RestoreCase{"OptionsFromNumbers", {{"Option1", "0"}, {"Option2", "-1"}, {"Option4", "0"}}, "",
        {{"Option2", "True"}, {"Option4", "True"}}, {{"Option1", "False"}, {"Option2", "True"}}},
    // A missing desktop costs the default only: a stored folder is still restored.
    RestoreCase{"NoDesktopNothingStored", {}, kNoDesktop,
        {{"Text4", ""}, {"Text3", "6"}}, {}, true},
    RestoreCase{"NoDesktopFolderStored", {{"Output Folder", "/srv/out/"}}, kNoDesktop,
        {{"Text4", "/srv/out/"}}, {{"Output Folder", "/srv/out/"}}, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(WindowTest, TheHandShowsOverTheButtonsButNeverOverTheBusyPointer) {
  const auto after_move_over = [this](QWidget* over) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(over, &move);
    return form->cursor().shape();
  };
  Load();  // no cursor file: the standard pointer
  EXPECT_EQ(after_move_over(form->PushButton1), Qt::ArrowCursor);
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QByteArray bytes;
  QBuffer cursor(&bytes);
  cursor.open(QIODevice::WriteOnly);
  image.save(&cursor, "ico");
  std::tie(bytes[2], bytes[10], bytes[12]) = std::tuple(2, 5, 7);  // a cursor, hot spot (5, 7)
  testing::WriteFileBytes(AppFolder() + "/HAND-M.CUR", bytes.toStdString());
  Load();
  EXPECT_EQ(after_move_over(form->PushButton7), Qt::BitmapCursor);
  EXPECT_EQ(form->cursor().hotSpot(), QPoint(5, 7));
  EXPECT_EQ(after_move_over(form->Frame3), Qt::ArrowCursor);
  EXPECT_EQ(after_move_over(form->PushButton1), Qt::BitmapCursor);
  form->SetMousePointer(MousePointer::Hourglass);
  EXPECT_EQ(after_move_over(form->Frame1), Qt::WaitCursor);
  EXPECT_EQ(after_move_over(form->PushButton1), Qt::WaitCursor);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(NumberText, FollowsTheUsersDecimalSeparator) {
  const NumberLocale saved = UserNumberLocale();
  SetUserNumberLocale({",", "."});
  EXPECT_EQ(ui::ComparedValue("3,5"), 4.0);
  EXPECT_FALSE(ui::IsNumeric("3.5"));
  SetUserNumberLocale(saved);
}

constexpr const char* kNumeric = "Must be a numeric entry.";
constexpr const char* kLow = "Low must not be greater than or equal to high.";
constexpr const char* kHigh = "High must not be less than or equal to low.";
constexpr const char* kMinimum = "Must be greater than or equal to 6.";

// Low, High and length typed, one box left, then maybe another unit chosen:
// the message, if any, and the texts after.
struct LeaveCase {
  const char* name;
  int unit;   // -1: preset size, else the custom unit
  int leave;  // 1 Low, 2 High, 3 length
  std::array<const char*, 3> before;
  const char* message;  // "" when the entry is accepted
  std::array<const char*, 3> after;
  int unit_after = -1;
};
void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

class LeaveBox : public WindowTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveBox, ValidatesAndResets) {
  const LeaveCase& c = GetParam();
  Load();
  if (c.unit >= 0) UseCustomSize(c.unit);
  QLineEdit* const texts[] = {form->Text1, form->Text2, form->Text3};
  for (int i = 0; i < 3; ++i) texts[i]->setText(c.before[i]);
  TypeAndLeave(texts[c.leave - 1], c.before[c.leave - 1]);
  if (c.unit_after >= 0) form->Combo2->setCurrentIndex(c.unit_after);

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(*c.message ? 1 : 0, c.message));
  for (const auto& box : boxes.shown)
    EXPECT_TRUE(box.title == "Torvane" && box.icon == MsgIcon::None);
  // Only a length that is no number keeps the focus.
  EXPECT_EQ(QApplication::focusWidget() == form->Text3,
            c.leave == 3 && std::string_view(c.message) == kNumeric);
  // Every key holds what its box shows, resets included (never written: the default).
  const char* const keys[] = {"Low", "High", "Text3"};
  const char* const defaults[] = {"0", "255", "6"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i]->text().toStdString(), c.after[i]) << keys[i];
    EXPECT_EQ(Stored(keys[i]).value_or(defaults[i]), c.after[i]) << keys[i];
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Entries, LeaveBox, ::testing::Values(
    LeaveCase{"LowAboveHigh", -1, 1, {"10", "5", "6"}, kLow, {"0", "5", "6"}},
    LeaveCase{"HighEqualToLow", -1, 2, {"0", "0", "6"}, kHigh, {"0", "255", "6"}},
    LeaveCase{"HighNoNumber", -1, 2, {"0", "abc", "6"}, kNumeric, {"0", "255", "6"}},
    LeaveCase{"LowNoNumber", -1, 1, {"1e3", "255", "6"}, kNumeric, {"0", "255", "6"}},
    LeaveCase{"NegativeLow", -1, 1, {" -5 ", "255", "6"}, "", {" -5 ", "255", "6"}},
    LeaveCase{"LowHalfDownToHigh", -1, 1, {"2.5", "2", "6"}, kLow, {"0", "2", "6"}},
    LeaveCase{"LowHalfToEvenBelowHigh", -1, 1, {"2.5", "3", "6"}, "", {"2.5", "3", "6"}},
    LeaveCase{"LowHalfUpToHigh", -1, 1, {"3.5", "4", "6"}, kLow, {"0", "4", "6"}},
    // Beyond 16 bits the order is still kept, and nothing fails.
    LeaveCase{"LowBeyond16Bits", -1, 1, {"40000", "255", "6"}, kLow, {"0", "255", "6"}},
    LeaveCase{"HighBeyond16Bits", -1, 2, {"0", "99999", "6"}, "", {"0", "99999", "6"}},
    // With the other box no number there is no order to keep.
    LeaveCase{"LowAgainstTextHigh", -1, 1, {"10", "ten", "6"}, "", {"10", "ten", "6"}},
    LeaveCase{"BytesBelowMinimum", 0, 3, {"0", "255", "5"}, kMinimum, {"0", "255", "6"}},
    LeaveCase{"BytesRoundUpToMinimum", 0, 3, {"0", "255", "5.5"}, "", {"0", "255", "5.5"}},
    // No minimum beyond bytes, and another unit never changes the length; bytes lift it to
    // the minimum without a word.
    LeaveCase{"KilobytesThenMegabytes", 1, 3, {"0", "255", "1"}, "", {"0", "255", "1"}, 2},
    LeaveCase{"KilobytesThenBytes", 1, 3, {"0", "255", "1"}, "", {"0", "255", "6"}, 0},
    LeaveCase{"LengthNoNumber", 2, 3, {"0", "255", "1.2.3"}, kNumeric, {"0", "255", "1.2.3"}},
    LeaveCase{"LengthEmptied", 0, 3, {"0", "255", ""}, kNumeric, {"0", "255", ""}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(WindowTest, AnEmptiedLengthBoxSwitchedOffIsNotLeftTwice) {
  Load();
  UseCustomSize(0);
  TypeAndLeave(form->Text3, "");
  // Pressing the option leaves the box again; switching the focused box off is no further leave.
  Click(form->Option8);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, kNumeric));
  EXPECT_EQ(Shown("enabled"), "Combo1");
  EXPECT_EQ(Stored("Option8"), "True");
}

// Answers the folder chooser from a script; "" answers as a cancel.
struct ScriptedChooser : AddFolder::FolderChooser {
  std::string Choose(QWidget* by, std::string_view text, std::string_view initial) override {
    EXPECT_EQ(text, "Please select folder:");
    owner = by;
    initial_folders.emplace_back(initial);
    return answers.at(initial_folders.size() - 1);
  }
  std::vector<std::string> answers, initial_folders;
  QWidget* owner = nullptr;
  ScopedServices scope{[this](Services& s) { s.folder_chooser = this; }};
};

TEST_F(WindowTest, TheFolderButtonOpensOnTheLastChoiceNotOnTheTypedFolder) {
  Load();
  ScriptedChooser chooser;
  const std::string root = Main::PathToCore(QDir::rootPath());  // "/" or "C:\"
  chooser.answers = {Output(), "", root};
  Click(form->PushButton7);  // first use: nothing preselected
  EXPECT_EQ(Shown("Text4"), Output() + kPathSeparator);
  EXPECT_EQ(Stored("LastFolderDot"), Output());
  form->Text4->setText("/typed/");
  Click(form->PushButton7);  // cancel: nothing changes
  EXPECT_EQ(Shown("Text4"), "/typed/");
  EXPECT_EQ(Stored("Output Folder"), "/typed/");
  EXPECT_EQ(form->LastFolder(), Output());
  Click(form->PushButton7);  // a root keeps its one separator
  EXPECT_EQ(Shown("Text4"), root);
  EXPECT_EQ(Stored("LastFolderDot"), root);
  EXPECT_EQ(chooser.initial_folders, std::vector<std::string>({"", Output(), Output()}));
  EXPECT_EQ(chooser.owner, form.get());
  EXPECT_TRUE(boxes.shown.empty());
}

// The desktop's own chooser: modal over the window, opening on the initial folder.
TEST_F(WindowTest, TheDesktopChooserOpensOnTheInitialFolder) {
  Load();
  std::string opened_on;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->parentWidget(), form.get());
    opened_on = Main::PathToCore(dialog->directory().absolutePath());
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(AddFolder::BrowseForFolder(form.get(), "Please select folder:", Output()), Output());
  EXPECT_EQ(opened_on, Output());
}

}  // namespace
}  // namespace torvane
