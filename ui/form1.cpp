// Start-up, the change handlers with their validation, and closing.

#include "ui/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/error_box.h"
#include "common/message_box.h"
#include "common/text.h"
#include "engine/file_creator.h"
#include "shell/main_module.h"
#include "ui/add_folder.h"
#include "ui/numeric_text.h"
#include "ui/qt_text.h"
#include "ui/window_texts.h"

namespace torvane::ui {
namespace {

// The options, numbered as their keys, grouped by the frame they sit in.
const std::vector<std::vector<int>> kOptionFrames{{1, 2, 3}, {4, 5}, {6, 7}, {8, 9}};

// A cursor file names its hot spot in its first directory entry; (-1, -1)
// (the picture's centre) when the file holds none.
QPoint CursorHotSpot(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {-1, -1};
  const QByteArray head = file.read(14);
  const auto word = [&head](int at) {
    return int(quint8(head[at])) | (int(quint8(head[at + 1])) << 8);
  };
  if (head.size() < 14 || word(0) != 0 || word(2) != 2) return {-1, -1};
  return {word(10), word(12)};
}

// The minimum length holds while the unit list shows bytes; the rule
// compares the list's shown text.
bool IsBytesUnit(const QString& shown) { return S(shown) == FileCreator::UnitListTexts().front(); }

}  // namespace

void TextBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // The window going inactive (a message box, another program) is no leave,
  // and neither is a box giving up the focus because it was switched off.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason ||
      !isEnabled())
    return;
  emit lostFocus();
}

Form1::Form1(SettingsStore& store, QWidget* parent) : QWidget(parent), settings_(store) {
  BuildControls();
  ConnectHandlers();
}

void Form1::ConnectHandlers() {
  for (int number = 1; number <= 9; ++number)
    connect(Option(number), &QRadioButton::toggled, this, [this, number](bool selected) {
      if (selected) OptionClick(number);
    });
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
  connect(Combo2, &QComboBox::currentIndexChanged, this, [this] { Combo2_Click(); });
  connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
  connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
  connect(Text3, &QLineEdit::textChanged, this, [this] { Text3_Change(); });
  connect(Text4, &QLineEdit::textChanged, this, [this] { Text4_Change(); });
  connect(Text1, &TextBox::lostFocus, this, [this] { Text1_LostFocus(); });
  connect(Text2, &TextBox::lostFocus, this, [this] { Text2_LostFocus(); });
  connect(Text3, &TextBox::lostFocus, this, [this] { Text3_LostFocus(); });
  connect(PushButton1, &QPushButton::clicked, this, [] { FileCreator::PushButton1_Click(); });
  connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
}

QRadioButton* Form1::Option(int number) const {
  const std::array<QRadioButton*, 9> options{Option1, Option2, Option3, Option4, Option5,
                                             Option6, Option7, Option8, Option9};
  return options.at(static_cast<std::size_t>(number - 1));
}

std::vector<int> Form1::FrameOptions(int number) const {
  for (const auto& frame : kOptionFrames)
    for (int member : frame)
      if (member == number) return frame;
  return {};
}

// ---- Start-up ------------------------------------------------------------

void Form1::Form_Load() {
  ErrorTrap trap("Form1", "Form_Load");
  unreadable_.clear();

  trap(10, [this] {
    if (!Main::ApplySkin(this)) throw std::runtime_error(std::string(text::kSkinUnreadable));
  });
  trap(20, [this] { LoadHandCursor(); });
  trap(30, [this] { setWindowTitle(Q(text::kWindowTitle)); });
  trap(40, [this] { setWindowIcon(QApplication::windowIcon()); });
  trap(50, [] { Main::SetAppTitle(); });

  // A missing desktop folder costs the default only: a stored folder is
  // still restored.
  std::string default_folder;
  trap(60, [&default_folder] {
    default_folder = Main::GetDesktopFolder();
    if (default_folder.empty()) throw std::invalid_argument(std::string(text::kInvalidArgument));
  });
  trap(70, [&] { Text4->setText(Q(settings_.ReadText(setting::kOutputFolder, default_folder))); });

  trap(80, [this] { Text1->setText(Q(settings_.ReadText(setting::kLow))); });
  trap(90, [this] { Text2->setText(Q(settings_.ReadText(setting::kHigh))); });
  trap(100, [this] { Text3->setText(Q(settings_.ReadText(setting::kText3))); });

  for (int number = 1; number <= 9; ++number) {
    if (!trap(100 + 10 * number, [this, number] { RestoreOption(number); }))
      unreadable_.push_back(&setting::kOptions[static_cast<std::size_t>(number - 1)]);
  }

  // The lists are filled only after the options: the selections below then
  // run their change handling against the restored length.
  {
    const QSignalBlocker quiet(Combo1);
    for (const auto& preset : FileCreator::Presets())
      trap(200, [this, &preset] { Combo1->addItem(Q(preset.list_text)); });
  }
  if (!trap(210, [this] { SelectListIndex(Combo1, setting::kCombo1); }))
    unreadable_.push_back(&setting::kCombo1);
  {
    const QSignalBlocker quiet(Combo2);
    for (const auto& unit : FileCreator::UnitListTexts())
      trap(220, [this, &unit] { Combo2->addItem(Q(unit)); });
  }
  if (!trap(230, [this] { SelectListIndex(Combo2, setting::kCombo2); }))
    unreadable_.push_back(&setting::kCombo2);

  for (const SettingKey* setting : unreadable_)
    trap(240, [this, setting] { SaveShownState(*setting); });
}

void Form1::RestoreOption(int number) {
  const bool selected =
      settings_.ReadOption(setting::kOptions[static_cast<std::size_t>(number - 1)]);
  // Selecting runs the option's click handling; a frame always keeps one
  // option selected, so "not selected" changes nothing by itself.
  if (selected) Option(number)->setChecked(true);
}

void Form1::SelectListIndex(QComboBox* list, const SettingKey& setting) {
  const int index = settings_.ReadListIndex(setting);
  if (index < 0 || index >= list->count())
    throw std::out_of_range(std::string(text::kInvalidPropertyValue));
  {
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(index);
  }
  // A restored selection counts as a change even when it equals the shown one.
  if (list == Combo1)
    Combo1_Click();
  else
    Combo2_Click();
}

void Form1::SaveShownState(const SettingKey& setting) {
  if (&setting == &setting::kCombo1) return Combo1_Click();
  if (&setting == &setting::kCombo2) return Combo2_Click();
  for (int number = 1; number <= 9; ++number)
    if (&setting == &setting::kOptions[static_cast<std::size_t>(number - 1)])
      return SaveFrameOf(number);
}

void Form1::LoadHandCursor() {
  const std::string path = Main::AppFolder() + std::string(text::kHandCursorFile);
  if (!Main::FileExists(path)) return;
  const QPixmap picture(QString::fromStdString(path));
  if (picture.isNull()) throw std::runtime_error(std::string(text::kInvalidPicture));
  const QPoint hot_spot = CursorHotSpot(path);
  hand_cursor_ = QCursor(picture, hot_spot.x(), hot_spot.y());
  has_custom_pointer_ = true;
}

// ---- Options and lists ---------------------------------------------------

void Form1::OptionClick(int number) {
  SaveFrameOf(number);
  if (number == 8) EnableSizeControls(true);
  if (number == 9) EnableSizeControls(false);
}

void Form1::SaveFrameOf(int number) {
  for (int member : FrameOptions(number))
    settings_.WriteOption(setting::kOptions[static_cast<std::size_t>(member - 1)],
                          Option(member)->isChecked());
}

void Form1::EnableSizeControls(bool preset) {
  Combo1->setEnabled(preset);
  Text3->setEnabled(!preset);
  Combo2->setEnabled(!preset);
}

void Form1::Combo1_Click() { settings_.WriteListIndex(setting::kCombo1, Combo1->currentIndex()); }

void Form1::Combo2_Click() {
  settings_.WriteListIndex(setting::kCombo2, Combo2->currentIndex());
  // Switching to bytes lifts a shorter length to the minimum without a word;
  // a length that is not a number is left for the box's own check.
  if (!IsBytesUnit(Combo2->currentText())) return;
  const auto length = ComparedValue(S(Text3->text()));
  if (length && *length < FileCreator::kMinimumLength) Text3->setText(Q(text::LengthReset()));
}

// ---- Text boxes ----------------------------------------------------------

void Form1::Text1_Change() { settings_.WriteText(setting::kLow, S(Text1->text())); }
void Form1::Text2_Change() { settings_.WriteText(setting::kHigh, S(Text2->text())); }
void Form1::Text3_Change() { settings_.WriteText(setting::kText3, S(Text3->text())); }
void Form1::Text4_Change() { settings_.WriteText(setting::kOutputFolder, S(Text4->text())); }

void Form1::Text1_LostFocus() { LeaveRangeBox(Text1, Text2, true); }
void Form1::Text2_LostFocus() { LeaveRangeBox(Text2, Text1, false); }

// Low and High are compared only when both are numbers: with the other box
// not (yet) a number there is no order to keep, and the other box's own
// check answers for it when it is left.
void Form1::LeaveRangeBox(TextBox* box, TextBox* other, bool is_low) {
  const std::string_view reset = is_low ? text::kLowReset : text::kHighReset;
  const std::string value = S(box->text());
  if (!IsNumeric(value)) {
    MsgBox(text::kMustBeNumeric);
    box->setText(Q(reset));
    return;
  }
  const auto mine = ComparedValue(value);
  const auto theirs = ComparedValue(S(other->text()));
  if (!theirs) return;
  if (is_low ? *mine >= *theirs : *mine <= *theirs) {
    MsgBox(is_low ? text::kLowNotBelowHigh : text::kHighNotAboveLow);
    box->setText(Q(reset));
  }
}

void Form1::Text3_LostFocus() {
  const std::string length = S(Text3->text());
  if (!IsNumeric(length)) {
    MsgBox(text::kMustBeNumeric);
    Text3->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (IsBytesUnit(Combo2->currentText()) && *ComparedValue(length) < FileCreator::kMinimumLength) {
    MsgBox(text::BelowMinimum());
    Text3->setText(Q(text::LengthReset()));
  }
}

// ---- Folder button -------------------------------------------------------

void Form1::PushButton7_Click() {
  ErrorTrap trap("Form1", "PushButton7_Click");
  std::string chosen;
  trap(10, [this] { last_folder_ = settings_.ReadText(setting::kLastFolderDot); });
  trap(20,
       [&] { chosen = AddFolder::BrowseForFolder(this, text::kFolderInstruction, last_folder_); });
  if (chosen.empty()) return;  // cancelled: nothing changes
  trap(30, [&] { last_folder_ = chosen; });
  trap(40, [this] { settings_.WriteText(setting::kLastFolderDot, last_folder_); });
  trap(50, [&] {
    // A root already ends in the separator.
    const bool ends_in_separator = kPathSeparators.find(chosen.back()) != std::string_view::npos;
    Text4->setText(Q(ends_in_separator ? chosen : chosen + kPathSeparator));
  });
}

// ---- Closing -------------------------------------------------------------

void Form1::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  event->accept();
  Form_Unload();
}

void Form1::Form_QueryUnload() {
  ErrorTrap trap("Form1", "Form_QueryUnload");
  trap(10, [] { QCoreApplication::processEvents(); });
  trap(20, [] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload() {
  if (!FileCreator::IsRunning()) return;  // the event loop ends with the last window
  // A run is abandoned where it stands: every write that returned is on the
  // disk already, and ending the process closes the file.
  std::fflush(nullptr);
  std::_Exit(EXIT_SUCCESS);
}

}  // namespace torvane::ui
