#pragma once

class QApplication;

namespace torvane::ui {

inline constexpr char kNoDisplayLine[] =
    "torvane: no display found: set DISPLAY, or use torvane-cli\n";

// True when Qt would abort for want of a display: every platform it would try
// (-platform, else QT_QPA_PLATFORM, else its default) is X11 or Wayland, and
// neither DISPLAY, WAYLAND_DISPLAY nor -display names one. Never on Windows
// or macOS, which always have one. Call before the QApplication is made.
bool DisplayMissing(int argc, char* argv[]);

// Wires the desktop into the core, loads and shows the main window, and runs
// the event loop until the window is closed. With "--screenshot FILE" it saves
// a picture of the shown window to FILE and ends.
int RunTorvane(QApplication& app);

}  // namespace torvane::ui
