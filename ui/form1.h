#pragma once

// The program's only working window: every choice of a job, the Create/Stop
// button and the progress bar. It restores every choice at start-up, writes
// every change back at once, validates the number boxes when they are left,
// and is the engine's job source and run view.

#include <QCursor>
#include <QLineEdit>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "common/job.h"
#include "common/services.h"
#include "ui/form_settings.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace torvane::ui {

// A text box that says when the user has left it for another control of
// the window (not when the window itself loses the focus to a box or popup).
class TextBox : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;
 signals:
  void lostFocus();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

class Form1 : public QWidget, public JobSource, public RunView {
  Q_OBJECT
 public:
  // The store must outlive the window. For its lifetime the window is the
  // engine's job source and run view.
  explicit Form1(SettingsStore& store, QWidget* parent = nullptr);

  // Start-up: skin, pointer, titles, every stored choice, then the two lists.
  // Each action stands under its own error-box trap. Run once, before show().
  void Form_Load();

  // The controls, named as the settings keys and the engine know them.
  QGroupBox* Frame1;
  QGroupBox* Frame2;
  QGroupBox* Frame3;
  QGroupBox* Frame4;
  QGroupBox* Frame5;
  QGroupBox* Frame6;
  std::array<QLabel*, 2> Label1;
  TextBox* Text1;
  TextBox* Text2;
  TextBox* Text3;
  TextBox* Text4;
  QRadioButton* Option1;
  QRadioButton* Option2;
  QRadioButton* Option3;
  QRadioButton* Option4;
  QRadioButton* Option5;
  QRadioButton* Option6;
  QRadioButton* Option7;
  QRadioButton* Option8;
  QRadioButton* Option9;
  QComboBox* Combo1;
  QComboBox* Combo2;
  QPushButton* PushButton1;
  QPushButton* PushButton7;
  QProgressBar* ProgressBar1;

  // The handlers, wired to their controls; public so that the flow of one
  // can be followed from its name.
  //
  // An option click stores the choices of the option's whole frame; Option8
  // (a preset) and Option9 (a typed length) enable their size controls.
  void Option1_Click() { OptionClick(1); }
  void Option2_Click() { OptionClick(2); }
  void Option3_Click() { OptionClick(3); }
  void Option4_Click() { OptionClick(4); }
  void Option5_Click() { OptionClick(5); }
  void Option6_Click() { OptionClick(6); }
  void Option7_Click() { OptionClick(7); }
  void Option8_Click() { OptionClick(8); }
  void Option9_Click() { OptionClick(9); }
  // Store the preset row, and the unit row; switching to bytes lifts a typed
  // length below the minimum to the minimum without a word.
  void Combo1_Click();
  void Combo2_Click();
  // Store Low, High, the length and the output folder at every change.
  void Text1_Change();
  void Text2_Change();
  void Text3_Change();
  void Text4_Change();
  // Leaving Low or High: a text that is no number, or one out of order with
  // the other box, gets a box and is reset to 0 or 255.
  void Text1_LostFocus();
  void Text2_LostFocus();
  // Leaving the length: no number gets a box and the focus back; in bytes,
  // one below the minimum gets a box and is reset to the minimum.
  void Text3_LostFocus();
  // The folder chooser, opened at the folder last chosen: a choice becomes
  // the output folder (ending in "/") and the last folder; a cancel changes
  // nothing. Each step is trapped by the error box.
  void PushButton7_Click();
  // Over the window's background and the frames: the standard pointer.
  void Form_MouseMove();
  // Over either push button: the hand pointer (the standard one without it).
  void PushButton1_MouseMove() { PushButtonHover(); }
  void PushButton7_MouseMove() { PushButtonHover(); }
  // Before the window closes: lets pending events run, twice.
  void Form_QueryUnload();
  // After it closed: with a run active the process ends at once (every
  // write that returned is on the disk); otherwise nothing.
  void Form_Unload();

  // The folder last chosen in the folder chooser, reloaded at every press.
  const std::string& LastFolder() const { return last_folder_; }

  // JobSource
  std::string OutputFolder() override;
  JobSettings ReadJob() override;
  bool HexPairs() override;
  CaseConversion CaseConversionNow() override;

  // RunView
  std::string ButtonCaption() override;
  void SetButtonCaption(std::string_view caption) override;
  void SetMousePointer(MousePointer pointer) override;
  void SetProgressValue(int percent) override;
  void SetProgressText(std::string_view text) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Pointer { Standard, Custom, Busy };

  void BuildControls();
  void SetTabOrder();
  void ConnectHandlers();
  QRadioButton* Option(int number) const;
  // The options of the frame that holds option `number`.
  std::vector<int> FrameOptions(int number) const;
  void OptionClick(int number);
  void SaveFrameOf(int number);
  void EnableSizeControls(bool preset);
  void RestoreOption(int number);
  // Leaving Low (is_low) or High: a text that is no number, or one out of
  // order with the other box, is replaced by the box's default.
  void LeaveRangeBox(TextBox* box, TextBox* other, bool is_low);
  void SelectListIndex(QComboBox* list, const SettingKey& setting);
  void LoadHandCursor();
  void PushButtonHover();
  void ShowPointer(Pointer pointer);
  // Saves the shown state of a control whose stored value could not be read,
  // so that the next start does not report it again.
  void SaveShownState(const SettingKey& setting);

  FormSettings settings_;
  std::string last_folder_;
  QCursor hand_cursor_;
  bool has_custom_pointer_ = false;
  Pointer pointer_ = Pointer::Standard;
  bool shown_once_ = false;
  std::vector<const SettingKey*> unreadable_;
  // The engine must not keep a window that is gone.
  ScopedServices front_end_{[this](Services& s) {
    s.job = this;
    s.view = this;
  }};
};

}  // namespace torvane::ui
