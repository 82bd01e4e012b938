// What a run reads from the window and shows on it, and the hover pointer.

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "ui/form1.h"
#include "ui/qt_text.h"

namespace torvane::ui {

std::string Form1::OutputFolder() { return S(Text4->text()); }

JobSettings Form1::ReadJob() {
  JobSettings job;
  job.OutputFolder = OutputFolder();
  job.UsePresetSize = Option8->isChecked();
  job.PresetIndex = Combo1->currentIndex();
  job.CustomLength = S(Text3->text());
  job.CustomUnit = Combo2->currentIndex();
  job.LowText = S(Text1->text());
  job.HighText = S(Text2->text());
  job.FixedLength = Option4->isChecked();
  job.HexPairs = HexPairs();
  job.Case = CaseConversionNow();
  return job;
}

bool Form1::HexPairs() { return Option6->isChecked(); }

CaseConversion Form1::CaseConversionNow() {
  if (Option2->isChecked()) return CaseConversion::Lower;
  if (Option3->isChecked()) return CaseConversion::Upper;
  return CaseConversion::None;
}

std::string Form1::ButtonCaption() { return S(PushButton1->text()); }

void Form1::SetButtonCaption(std::string_view caption) { PushButton1->setText(Q(caption)); }

void Form1::SetMousePointer(MousePointer pointer) {
  ShowPointer(pointer == MousePointer::Hourglass ? Pointer::Busy : Pointer::Standard);
}

void Form1::SetProgressValue(int percent) { ProgressBar1->setValue(percent); }

void Form1::SetProgressText(std::string_view text) {
  // The bar shows its format with %p, %v and %m filled in: keep a '%' literal.
  QString format = Q(text);
  ProgressBar1->setFormat(format.replace(QLatin1Char('%'), QLatin1String("%%")));
}

// ---- Hover pointer -------------------------------------------------------

void Form1::ShowPointer(Pointer pointer) {
  pointer_ = pointer;
  switch (pointer) {
    case Pointer::Busy:
      setCursor(Qt::WaitCursor);
      break;
    case Pointer::Custom:
      setCursor(has_custom_pointer_ ? hand_cursor_ : QCursor(Qt::ArrowCursor));
      break;
    case Pointer::Standard:
      setCursor(Qt::ArrowCursor);
      break;
  }
}

void Form1::Form_MouseMove() {
  if (pointer_ != Pointer::Busy) ShowPointer(Pointer::Standard);
}

void Form1::PushButtonHover() {
  if (pointer_ != Pointer::Busy) ShowPointer(Pointer::Custom);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
  Form_MouseMove();
  QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    if (watched == PushButton1)
      PushButton1_MouseMove();
    else if (watched == PushButton7)
      PushButton7_MouseMove();
    else
      Form_MouseMove();  // the frames show the window's own pointer
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace torvane::ui
