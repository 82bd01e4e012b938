#pragma once

class QApplication;

namespace torvane::ui {

// Wires the desktop into the core, loads and shows the main window, and runs
// the event loop until the window is closed. With "--screenshot FILE" it saves
// a picture of the shown window to FILE and ends.
int RunTorvane(QApplication& app);

}  // namespace torvane::ui
