// Whole runs driven through the window: the defaults, Stop, and closing mid-run.

#include <gmock/gmock.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
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
  void SetUp() override {
    Load();
    form->Text4->setText(ui::Q(Output() + "/"));
  }
  void ExpectDoneAndIdle() {
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(form->PushButton1->text().toStdString(), "Start Creating File");
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->ProgressBar1->text().toStdString(), "Progress Bar");
    boxes.shown.clear();
  }
};

// In a plain folder, and in one whose path is longer than Windows' 260
// characters (which its file layer, and Qt, reach through "\\?\").
TEST_F(WindowRun, DefaultsMakeOneKilobyteOfHexRecords) {
  const std::string deep =
      Output() + kPathSeparator + std::string(120, 'd') + kPathSeparator + std::string(120, 'e');
  ASSERT_TRUE(QDir().mkpath(ui::Q(deep)));
  for (const std::string& folder : {Output(), deep}) {
    form->Text4->setText(ui::Q(folder + kPathSeparator));
    testing::ScriptedPump pump;
    std::vector<std::string> captions, progress;
    pump.on_pump = [&](std::int64_t) {
      captions.push_back(form->PushButton1->text().toStdString());
      progress.push_back(form->ProgressBar1->text().toStdString());
    };
    Click(form->PushButton1);
    ExpectDoneAndIdle();
    ASSERT_FALSE(captions.empty());
    EXPECT_THAT(captions, ::testing::Each("Stop"));
    EXPECT_THAT(progress, ::testing::Contains("1,024 / 1,024 bytes"));
    QFile made(ui::Q(folder + kPathSeparator + "KB_1.dat"));
    ASSERT_TRUE(made.open(QIODevice::ReadOnly)) << folder;
    EXPECT_TRUE(std::regex_match(made.readAll().toStdString(),
                                 std::regex("([0-9A-Fa-f]{78}\r\n){12}[0-9A-Fa-f]{62}\r\n")));
  }
}

// A Stop click 300 ms into a large continuous job, through the real pump under
// the production yield policy. The time from the moment the click is due (and
// from when it is handled) to "Done." is reported, not asserted.
TEST_F(WindowRun, AStopClickEndsALargeContinuousJobOnWholeChunks) {
  ui::QtEventPump qt_pump;
  ScopedServices pump_scope([&](Services& s) {
    s.pump = &qt_pump;
    s.yield_policy = YieldPolicy::Production();
  });
  UseCustomSize(3, "1");
  Click(form->Option5);
  QElapsedTimer clock;
  std::vector<double> from_due, from_handled;
  for (int trial = 0; trial < 7; ++trial) {
    qint64 handled = 0, done = 0;
    boxes.on_show = [&](const auto&) { done = clock.nsecsElapsed(); };
    clock.start();
    QTimer::singleShot(300, Qt::PreciseTimer, form.get(), [&] {
      handled = clock.nsecsElapsed();
      Click(form->PushButton1);
    });
    Click(form->PushButton1);
    ExpectDoneAndIdle();
    const auto size = std::filesystem::file_size(Output() + "/GB_1.dat");
    EXPECT_TRUE(size > 0 && size < 1073741824u && size % kChunk == 0) << size;
    std::filesystem::remove(Output() + "/GB_1.dat");
    from_due.push_back((done - 300'000'000) / 1e6);
    from_handled.push_back((done - handled) / 1e6);
  }
  std::sort(from_due.begin(), from_due.end());
  std::sort(from_handled.begin(), from_handled.end());
  std::printf(
      "stop latency (ms), click due -> Done.: min %.1f median %.1f max %.1f; "
      "click handled -> Done.: median %.1f\n",
      from_due[0], from_due[3], from_due[6], from_handled[3]);
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
        if (folder != Output()) std::filesystem::remove_all(Root());
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

}  // namespace
}  // namespace torvane
