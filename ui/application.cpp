#include "ui/application.h"

#include <QApplication>
#include <QByteArray>
#include <QLocale>
#include <QTimer>
#include <string_view>

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

bool DisplayMissing([[maybe_unused]] int argc, [[maybe_unused]] char* argv[]) {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
  return false;
#else
  // Read as Qt reads them: one dash or two, the last one given wins.
  QByteArray platforms, display;
  for (int i = 1; i + 1 < argc; ++i) {
    std::string_view option = argv[i];
    if (option.starts_with("--")) option.remove_prefix(1);
    if (option == "-platform")
      platforms = argv[++i];
    else if (option == "-display")
      display = argv[++i];
  }
  if (platforms.isEmpty()) platforms = qgetenv("QT_QPA_PLATFORM");
  if (!display.isEmpty() || !qEnvironmentVariableIsEmpty("DISPLAY") ||
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return false;
  if (platforms.isEmpty()) return true;  // the default is xcb or wayland
  // Qt tries a ";" list in turn: one platform that needs no display will do.
  for (const QByteArray& entry : platforms.split(';')) {
    const QByteArray name = entry.split(':').first().trimmed().toLower();
    if (!name.isEmpty() && name != "xcb" && !name.startsWith("wayland")) return false;
  }
  return true;
#endif
}

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
