// The window between runs: its fixed texts, start-up from the store, the hover
// pointer, leaving the number boxes and the folder button.

#include <QBuffer>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "common/number_locale.h"
#include "common/text.h"
#include "tests/ui/gui_support.h"
#include "ui/numeric_text.h"

namespace torvane {
namespace {

using testing::Pairs;
using testing::WindowTest;

// The captions are the design's, byte for byte, typos included. The hand
// pointer (from a cursor file beside the program) shows over the buttons,
// never over the busy pointer.
TEST_F(WindowTest, TheCaptionsAreTheDesignsAndTheHandShowsOverTheButtons) {
  // clang-format off
  const Pairs captions = {{"Frame1", "ASCII Character Range"}, {"Label1_0", "Low (0-255):"},
      {"Label1_1", "High (0-255):"}, {"Frame2", "Case Conversion"},
      {"Option1", "Do not change case"}, {"Option2", "Convert to lowercase"},
      {"Option3", "Convert to uppercase"}, {"Frame4", "Hex Conversion"},
      {"Option6", "2 Characters"}, {"Option7", "Binary"}, {"Frame3", "Record Length"},
      {"Option4", "Fixed - 80 characters"}, {"Option5", "Continous"}, {"Frame5", "Field Size"},
      {"Option8", "Predefine Size"}, {"Option9", "Customize"},
      {"Frame6", "Save File To This Folder"}, {"PushButton7", "..."},
      {"PushButton1", "Start Creating File"}, {"ProgressBar1", "Progress Bar"}};
  // clang-format on
  const auto after_move_over = [this](QWidget* over) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(over, &move);
    return form->cursor().shape();
  };
  Load();
  for (const auto& [name, caption] : captions) {
    QWidget* control = form->findChild<QWidget*>(ui::Q(name));
    const char* property = qobject_cast<QGroupBox*>(control) ? "title" : "text";
    EXPECT_EQ(ui::S(control->property(property).toString()), caption) << name;
  }
  EXPECT_EQ(ui::S(form->windowTitle()), "Torvane Software");
  EXPECT_EQ(after_move_over(form->PushButton1), Qt::ArrowCursor);  // no cursor file
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

// A stored state (nothing on the first start), then maybe one number box typed
// in and left and another unit chosen: the one box shown (if any: a start-up
// step that failed, or the entry rejected), what the window shows and what the
// store holds. Restoring a selected option runs its click handling, which
// writes its frame, and a restored list index counts as a change.
TEST_F(WindowTest, StartUpAndLeavingANumberBoxShowAndStoreTheDesignedState) {
  struct Row {
    const char* name;
    Pairs seeds;
    int leave;  // 0: none, else the box typed in and left: 1 Low, 2 High, 3 length
    const char* typed;
    std::string box;  // the start of its text
    Pairs shown, stored;
    int unit_after = -1;
  };
  const auto load_error = [](const std::string& description, int line) {
    return description + "\r\nin Torvane2021/08/31.Form1.Form_Load at line " + std::to_string(line);
  };
  const std::string desktop = Desktop() + kPathSeparator;
  const std::string no_desktop = load_error("Invalid procedure call or argument", 60);
  const std::string numeric = "Must be a numeric entry.";
  const std::string low = "Low must not be greater than or equal to high.";
  const Pairs custom = {{"Option9", "True"}}, kilobytes = {{"Option9", "True"}, {"Combo2", "1"}};
  // clang-format off
  const Row rows[] = {
      {"FirstStart", {}, 0, "", "", {{"Text1", "0"}, {"Text2", "255"}, {"Text3", "6"},
       {"Text4", desktop}, {"Option1", "True"}, {"Option4", "True"}, {"Option6", "True"},
       {"Option8", "True"}, {"Combo1", "1 kb (1,024 bytes)"},
       {"Combo2", "Bytes [ Minimum 6 bytes ]"}, {"enabled", "Combo1"}, {"focus", "Combo1"}},
       {{"Combo1", "0"}, {"Combo2", "0"}, {"Output Folder", desktop}, {"Text3", "6"}}},
      {"Customize", custom, 0, "", "", {{"enabled", "Text3 Combo2"}, {"focus", "Text1"}},
       {{"Option8", "False"}, {"Option9", "True"}}},
      {"ShortByteLength", {{"Text3", "3"}, {"Combo2", "0"}}, 0, "", "", {{"Text3", "6"}},
       {{"Text3", "6"}}},
      {"ShortKilobyteLength", {{"Text3", "3"}, {"Combo2", "1"}, {"Low", "12"}, {"High", "200"},
       {"Combo1", "5"}}, 0, "", "", {{"Text3", "3"}, {"Combo2", "Kilobytes [ Length  x  1,024 ]"},
       {"Text1", "12"}, {"Text2", "200"}, {"Combo1", "10 kb (10,240 bytes)"}}, {{"Text3", "3"}}},
      // One past the last preset.
      {"PresetIndexOutsideTheList", {{"Combo1", "24"}, {"Combo2", "2"}, {"Option5", "1"}}, 0, "",
       load_error("Invalid property value", 210),
       {{"Combo1", "1 kb (1,024 bytes)"}, {"Combo2", "Megabytes [ Length  x  1,048,576 ]"}},
       {{"Combo1", "0"}, {"Combo2", "2"}, {"Option4", "False"}, {"Option5", "True"}}},
      {"UnreadableOption", {{"Option2", "maybe"}, {"Option3", "1"}, {"Option7", "true"}}, 0, "",
       load_error("Type mismatch", 120), {{"Option3", "True"}, {"Option7", "True"}},
       {{"Option1", "False"}, {"Option2", "False"}, {"Option3", "True"}, {"Option6", "False"},
        {"Option7", "True"}}},
      {"OptionsFromNumbers", {{"Option1", "0"}, {"Option2", "-1"}, {"Option4", "0"}}, 0, "", "",
       {{"Option2", "True"}, {"Option4", "True"}}, {{"Option1", "False"}, {"Option2", "True"}}},
      // A missing desktop costs the default only: a stored folder is still restored.
      {"NoDesktopNothingStored", {}, 0, "", no_desktop, {{"Text4", ""}, {"Text3", "6"}}, {}},
      {"NoDesktopFolderStored", {{"Output Folder", "/srv/out/"}}, 0, "", no_desktop,
       {{"Text4", "/srv/out/"}}, {{"Output Folder", "/srv/out/"}}},
      // Leaving Low or High: a text that is no number, or one out of order, is reset.
      {"LowAboveHigh", {{"High", "5"}}, 1, "10", low, {{"Text1", "0"}}, {{"Low", "0"}}},
      {"HighEqualToLow", {{"Low", "7"}}, 2, "7", "High must not be less than or equal to low.",
       {{"Text2", "255"}}, {{"High", "255"}}},
      {"HighNoNumber", {}, 2, "abc", numeric, {{"Text2", "255"}}, {{"High", "255"}}},
      {"LowNoNumber", {}, 1, "1e3", numeric, {{"Text1", "0"}}, {{"Low", "0"}}},
      {"NegativeLow", {}, 1, " -5 ", "", {{"Text1", " -5 "}}, {{"Low", " -5 "}}},
      {"LowHalfToEvenBelowHigh", {{"High", "3"}}, 1, "2.5", "", {{"Text1", "2.5"}}, {}},
      {"LowHalfUpToHigh", {{"High", "4"}}, 1, "3.5", low, {{"Text1", "0"}}, {}},
      // Beyond 16 bits the order is still kept, and nothing fails.
      {"LowBeyond16Bits", {}, 1, "40000", low, {{"Text1", "0"}}, {}},
      {"HighBeyond16Bits", {}, 2, "99999", "", {{"Text2", "99999"}}, {{"High", "99999"}}},
      // With the other box no number there is no order to keep.
      {"LowAgainstTextHigh", {{"High", "ten"}}, 1, "10", "", {{"Text1", "10"}}, {}},
      // In bytes a length below the minimum is reset; only one that is no number keeps the focus.
      {"BytesBelowMinimum", custom, 3, "5", "Must be greater than or equal to 6.",
       {{"Text3", "6"}, {"focus", "Text4"}}, {{"Text3", "6"}}},
      {"BytesRoundUpToMinimum", custom, 3, "5.5", "", {{"Text3", "5.5"}}, {{"Text3", "5.5"}}},
      // No minimum beyond bytes, and another unit never changes the length; bytes lift it
      // to the minimum without a word.
      {"KilobytesThenMegabytes", kilobytes, 3, "1", "", {{"Text3", "1"}}, {{"Text3", "1"}}, 2},
      {"KilobytesThenBytes", kilobytes, 3, "1", "", {{"Text3", "6"}}, {{"Text3", "6"}}, 0},
      {"LengthNoNumber", kilobytes, 3, "1.2.3", numeric, {{"Text3", "1.2.3"}, {"focus", "Text3"}},
       {}},
      // Last: the end of the test leaves this box once more.
      {"LengthEmptied", custom, 3, "", numeric, {{"Text3", ""}, {"focus", "Text3"}},
       {{"Text3", ""}}}};
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.box == no_desktop && !testing::kHomeHoldsTheDesktop) {
      std::printf("%s skipped: the shell always has a desktop folder\n", row.name);
      continue;
    }
    SetHome(row.box == no_desktop ? Home() + "/gone" : Home());
    boxes.shown.clear();
    Load(row.seeds, true);
    if (row.leave > 0)
      TypeAndLeave(std::array{form->Text1, form->Text2, form->Text3}[row.leave - 1], row.typed);
    if (row.unit_after >= 0) form->Combo2->setCurrentIndex(row.unit_after);
    EXPECT_EQ(boxes.shown.size(), row.box.empty() ? 0u : 1u);
    for (const auto& box : boxes.shown)
      EXPECT_TRUE(box.text.starts_with(row.box) &&
                  box.title == (row.leave ? "Torvane" : "Application Error") &&
                  box.icon == (row.leave ? MsgIcon::None : MsgIcon::Exclamation))
          << box.text;
    for (const auto& [control, value] : row.shown) EXPECT_EQ(Shown(control), value) << control;
    for (const auto& [key, value] : row.stored) EXPECT_EQ(Stored(key), value) << key;
  }
  // Pressing an option leaves the emptied box again; switching the focused box
  // off is no further leave.
  boxes.shown.clear();
  Click(form->Option8);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(1, numeric));
  EXPECT_EQ(Shown("enabled"), "Combo1");
}

TEST(NumberText, FollowsTheUsersDecimalSeparator) {
  const NumberLocale saved = UserNumberLocale();
  SetUserNumberLocale({",", "."});
  EXPECT_EQ(ui::ComparedValue("3,5"), 4.0);
  EXPECT_FALSE(ui::IsNumeric("3.5"));
  SetUserNumberLocale(saved);
}

// The desktop's own chooser, modal over the window: the first use preselects
// nothing; later ones open on the last choice, not on the typed folder. A
// choice ends in one separator (a root has it already); a cancel changes nothing.
TEST_F(WindowTest, TheFolderButtonOpensOnTheLastChoiceNotOnTheTypedFolder) {
  Load();
  std::vector<std::string> opened_on;
  const auto answer = [&](const std::string& folder) {  // "" cancels
    QTimer::singleShot(0, [&, folder] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog != nullptr && dialog->parentWidget() == form.get());
      EXPECT_EQ(ui::S(dialog->windowTitle()), "Please select folder:");
      opened_on.push_back(Main::PathToCore(dialog->directory().absolutePath()));
      dialog->setDirectory(ui::Q(folder));
      folder.empty() ? dialog->reject() : static_cast<QDialog*>(dialog)->accept();
    });
    Click(form->PushButton7);
  };
  const std::string root = Main::PathToCore(QDir::rootPath());  // "/" or "C:\"
  answer(Output());
  EXPECT_EQ(Shown("Text4"), Output() + kPathSeparator);
  EXPECT_EQ(Stored("LastFolderDot"), Output());
  form->Text4->setText("/typed/");
  answer("");
  EXPECT_EQ(Stored("Output Folder"), "/typed/");
  EXPECT_EQ(form->LastFolder(), Output());
  answer(root);
  EXPECT_EQ(Shown("Text4"), root);
  EXPECT_EQ(Stored("LastFolderDot"), root);
  const std::string unset = Main::PathToCore(QDir::currentPath());
  EXPECT_EQ(opened_on, std::vector<std::string>({unset, Output(), Output()}));
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace torvane
