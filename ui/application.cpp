#include "ui/application.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>

#include "ui/form1.h"
#include "ui/qt_services.h"
#include "ui/qt_settings_store.h"

namespace torvane::ui {
namespace {

QString ScreenshotFile(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot"));
  return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
}

}  // namespace

int RunTorvane(QApplication& app) {
  SetUserNumberLocale(NumberLocaleOf(QLocale::system()));
  QtSettingsStore store;
  Form1 form(store);
  QtMessageBoxes boxes(&form);
  QtEventPump pump;
  ScopedServices desktop([&](Services& s) {
    s.boxes = &boxes;
    s.pump = &pump;
    s.yield_policy = YieldPolicy::Production();
  });

  form.Form_Load();
  form.show();

  const QString screenshot = ScreenshotFile(QApplication::arguments());
  int result = 0;
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(800, &form, [&] {
      if (!form.grab().save(screenshot)) result = 1;
      app.quit();
    });
  }
  const int loop = app.exec();
  return result != 0 ? result : loop;
}

}  // namespace torvane::ui
