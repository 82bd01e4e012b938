// The window in a face wider than the designed Arial: DejaVu Sans, all that a
// Debian system without fonts-liberation has (ui_layout_tests' fontconfig
// set-up knows no other face).

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "tests/ui/gui_support.h"

namespace torvane {
namespace {

using testing::WindowTest;

TEST_F(WindowTest, EveryCaptionFitsItsControlInDejaVuSansAndNothingOverlaps) {
  Load();
  ASSERT_EQ(QFontInfo(form->font()).family(), "DejaVu Sans");
  for (QWidget* control : form->findChildren<QWidget*>()) {
    const QFontMetrics metrics = control->fontMetrics();
    int width = 0;  // the text, with the indicator where there is one
    if (auto* label = qobject_cast<QLabel*>(control))
      width = metrics.horizontalAdvance(label->text());
    else if (qobject_cast<QRadioButton*>(control))
      width = control->sizeHint().width();
    else if (auto* button = qobject_cast<QPushButton*>(control))
      width = metrics.horizontalAdvance(button->text());
    else if (auto* frame = qobject_cast<QGroupBox*>(control))
      width = frame->minimumSizeHint().width();  // the title where the style draws it
    else
      continue;
    const std::string name = control->objectName().toStdString();
    EXPECT_GE(control->width(), width) << name;
    EXPECT_GE(control->height(), metrics.height()) << name;
    QWidget* parent = control->parentWidget();
    EXPECT_TRUE(parent->rect().contains(control->geometry())) << name;
    for (QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(other == control || !other->geometry().intersects(control->geometry()))
          << name << " overlaps " << other->objectName().toStdString();
  }
}

}  // namespace
}  // namespace torvane
