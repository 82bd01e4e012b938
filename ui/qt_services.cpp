#include "ui/qt_services.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>

#include "ui/qt_text.h"

namespace torvane::ui {

void QtMessageBoxes::Show(std::string_view text, MsgIcon icon, std::string_view title) {
  // The texts break lines the DOS way (CR LF, and CR CR in the error box).
  QString shown = Q(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                  Q(title), shown, QMessageBox::Ok, owner_.data());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtEventPump::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

NumberLocale NumberLocaleOf(const QLocale& locale) {
  NumberLocale numbers;
  numbers.decimal_point = locale.decimalPoint().toStdString();
  numbers.group_separator = locale.groupSeparator().toStdString();
  return numbers;
}

}  // namespace torvane::ui
