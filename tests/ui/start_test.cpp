// The window program started as a user starts it, without a display.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace torvane {
namespace {

TEST(WindowProgram, WithoutADisplaySaysSoAndEndsUnlessAPlatformNeedsNone) {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
  GTEST_SKIP() << "this system always has a display";
#endif
  struct Row {
    const char* platform;  // QT_QPA_PLATFORM; nullptr: not set
    QStringList arguments;
    int status;
  };
  const Row rows[] = {{nullptr, {}, 1},
                      {"xcb", {}, 1},
                      {"wayland;xcb", {}, 1},
                      {"", {"--platform", "xcb"}, 1},
                      // These start, take their picture and end.
                      {"xcb;offscreen", {}, 0},
                      {"xcb", {"-platform", "offscreen"}, 0}};
  QTemporaryDir home;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.platform ? row.platform : "(not set)");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(name);
    if (row.platform != nullptr) environment.insert("QT_QPA_PLATFORM", row.platform);
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(TORVANE_WINDOW_PATH,
                  row.arguments + QStringList{"--screenshot", home.filePath("window.png")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);  // no abort, no core
    EXPECT_EQ(program.exitCode(), row.status);
    if (row.status == 1)
      EXPECT_EQ(program.readAllStandardError().toStdString(),
                "torvane: no display found: set DISPLAY, or use torvane-cli\n");
  }
}

}  // namespace
}  // namespace torvane
