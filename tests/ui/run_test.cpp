// Whole runs driven through the window: the defaults, Stop, and closing mid-run;
// and the window program started as a user starts it, without a display.

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <regex>

#include "common/text.h"
#include "tests/ui/gui_support.h"
#include "ui/qt_services.h"

namespace torvane {
namespace {

constexpr std::uintmax_t kChunk = 61440;  // a continuous run writes whole chunks of this size

class WindowRun : public testing::WindowTest {
 protected:
  void SetUp() override { Load(); }
  void ExpectDoneAndIdle() {
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(ui::S(form->PushButton1->text()), "Start Creating File");
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(ui::S(form->ProgressBar1->text()), "Progress Bar");
    boxes.shown.clear();
  }
};

// In a plain folder, and in one whose path is longer than Windows' 260
// characters (which its file layer, and Qt, reach through "\\?\"); the second
// run in lowercase, which the first (unconverted) never shows.
TEST_F(WindowRun, DefaultsMakeOneKilobyteOfHexRecords) {
  const std::string deep =
      Output() + kPathSeparator + std::string(120, 'd') + kPathSeparator + std::string(120, 'e');
  ASSERT_TRUE(QDir().mkpath(ui::Q(deep)));
  for (const auto& [folder, digits] :
       {std::pair(Output(), "[0-9A-F]"), std::pair(deep, "[0-9a-f]")}) {
    form->Text4->setText(ui::Q(folder + kPathSeparator));
    testing::ScriptedPump pump;
    std::vector<std::string> shown;  // the button's caption, the bar's text and value
    pump.on_pump = [&](std::int64_t) {
      shown.push_back(ui::S(form->PushButton1->text() + '|' + form->ProgressBar1->text() + '|' +
                            QString::number(form->ProgressBar1->value())));
    };
    Click(form->PushButton1);
    ExpectDoneAndIdle();
    EXPECT_THAT(shown, ::testing::Contains("Stop|1,024 / 1,024 bytes|100"));
    EXPECT_THAT(shown, ::testing::Each(::testing::StartsWith("Stop|")));
    QFile made(ui::Q(folder + kPathSeparator + "KB_1.dat"));
    ASSERT_TRUE(made.open(QIODevice::ReadOnly)) << folder;
    const std::string record = std::string("(") + digits + "{78}\r\n)";
    EXPECT_TRUE(std::regex_match(made.readAll().toStdString(),
                                 std::regex(record + "{12}" + digits + "{62}\r\n")));
    Click(form->Option2);
  }
}

// A Stop click 300 ms into a large continuous job, through the real pump
// under the production yield policy.
TEST_F(WindowRun, AStopClickEndsALargeContinuousJobOnWholeChunks) {
  ui::QtEventPump qt_pump;
  ScopedServices pump_scope([&](Services& s) {
    s.pump = &qt_pump;
    s.yield_policy = YieldPolicy::Production();
  });
  form->Text4->setText(ui::Q(Output() + "/"));
  UseCustomSize(3, "1");
  Click(form->Option5);
  QTimer::singleShot(300, Qt::PreciseTimer, form.get(), [&] { Click(form->PushButton1); });
  Click(form->PushButton1);
  ExpectDoneAndIdle();
  const auto size = std::filesystem::file_size(Output() + "/GB_1.dat");
  EXPECT_TRUE(size > 0 && size < 1073741824u && size % kChunk == 0) << size;
}

// The program ends inside the run. A death test re-runs this test in a fresh
// process up to the close; the child writes into the folder the parent names.
TEST_F(WindowRun, ClosingTheWindowDuringARunEndsTheProgramAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (!qEnvironmentVariableIsSet("TORVANE_TEST_CLOSE_FOLDER"))
    qputenv("TORVANE_TEST_CLOSE_FOLDER", QByteArray::fromStdString(Output()));
  const std::string folder = qgetenv("TORVANE_TEST_CLOSE_FOLDER").toStdString();
  UseCustomSize(2, "64");
  Click(form->Option5);
  EXPECT_EXIT(
      {
        if (folder != Output()) std::filesystem::remove_all(root_.path());
        form->Text4->setText(ui::Q(folder + "/"));
        boxes.on_show = [](const auto& box) {
          std::fprintf(stderr, "box: %s\n", box.text.c_str());
        };
        testing::ScriptedPump pump;
        pump.on_pump = [&](std::int64_t count) {
          if (count == 120) form->close();
        };
        Click(form->PushButton1);
        std::exit(3);  // the run went on
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("box:")));
  qunsetenv("TORVANE_TEST_CLOSE_FOLDER");
  const auto size = std::filesystem::file_size(folder + "/MB_64.dat");
  EXPECT_TRUE(size > 0 && size < 64u * 1048576u && size % kChunk == 0) << size;
}

TEST(WindowProgram, WithoutADisplaySaysSoAndEndsUnlessAPlatformNeedsNone) {
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
  GTEST_SKIP() << "this system always has a display";
#endif
  struct Row {
    const char* platform;  // QT_QPA_PLATFORM; nullptr: not set
    QStringList arguments;
    int status;
  };
  // The last three start, take their picture and end.
  // clang-format off
  const Row rows[] = {{nullptr, {}, 1}, {"xcb", {}, 1}, {"wayland;xcb", {}, 1},
      {"xcb;offscreen", {}, 0}, {"xcb", {"-platform", "offscreen"}, 0},
      {"xcb", {"--platform", "offscreen"}, 0}};
  // clang-format on
  QTemporaryDir home;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.platform ? row.platform : "(not set)");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME"})
      environment.remove(name);
    if (row.platform != nullptr) environment.insert("QT_QPA_PLATFORM", row.platform);
    environment.insert("HOME", home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(TORVANE_WINDOW_PATH,
                  row.arguments + QStringList{"--screenshot", home.filePath("window.png")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);  // no abort, no core
    EXPECT_EQ(program.exitCode(), row.status);
    if (row.status == 1) {
      EXPECT_EQ(program.readAllStandardError().toStdString(),
                "torvane: no display found: set DISPLAY, or use torvane-cli\n");
    }
  }
}

}  // namespace
}  // namespace torvane
