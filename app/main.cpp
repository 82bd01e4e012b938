#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "ui/application.h"

int main(int argc, char* argv[]) {
  // Qt's display plugins abort (and may dump core) when they find no display.
  if (torvane::ui::DisplayMissing(argc, argv)) {
    std::fputs(torvane::ui::kNoDisplayLine, stderr);
    return 1;
  }
  QApplication app(argc, argv);
  // Lets the desktop match the window to its menu entry (and so to its icon).
  QGuiApplication::setDesktopFileName(QStringLiteral("dev.torvane.Torvane"));
  // Embedded, so the window shows it from the build folder too.
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/48x48/dev.torvane.Torvane.png"));
  icon.addFile(QStringLiteral(":/icons/256x256/dev.torvane.Torvane.png"));
  QApplication::setWindowIcon(icon);
  return torvane::ui::RunTorvane(app);
}
