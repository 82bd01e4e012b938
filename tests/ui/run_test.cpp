#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"
#include "ui/qt_services.h"

namespace torvane {
namespace {

using testing::ScriptedPump;

constexpr std::uintmax_t kChunk = 61440;  // a continuous run writes whole chunks of this size

std::uintmax_t SizeOf(const std::string& path) {
  return std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;
}

class WindowRun : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Form_Load();
    form.Text4->setText(QString::fromStdString(sandbox.Output() + "/"));
  }
  void ChooseContinuousJob(const char* length, int unit) {
    QTest::mouseClick(form.Option5, Qt::LeftButton);
    QTest::mouseClick(form.Option9, Qt::LeftButton);
    form.Combo2->setCurrentIndex(unit);
    form.Text3->setText(length);
  }
  void Click() { QTest::mouseClick(form.PushButton1, Qt::LeftButton); }
  void ExpectDoneAndIdle() {
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(form.PushButton1->text().toStdString(), "Start Creating File");
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(form.ProgressBar1->text().toStdString(), "Progress Bar");
  }

  testing::GuiSandbox sandbox;
  testing::RecordingMessageBoxes boxes;
  ui::Form1 form{sandbox.store};
};

TEST_F(WindowRun, DefaultsMakeOneKilobyteOfHexRecords) {
  ScriptedPump pump;
  std::vector<std::string> captions, progress;
  pump.on_pump = [&](std::int64_t) {
    captions.push_back(form.PushButton1->text().toStdString());
    progress.push_back(form.ProgressBar1->text().toStdString());
  };
  Click();

  ExpectDoneAndIdle();
  ASSERT_FALSE(captions.empty());
  EXPECT_THAT(captions, ::testing::Each("Stop"));
  EXPECT_THAT(progress, ::testing::Contains("1,024 / 1,024 bytes"));
  const std::string file = testing::ReadFileBytes(sandbox.Output() + "/KB_1.dat");
  const std::string record = "[0-9A-Fa-f]{78}\r\n";
  EXPECT_TRUE(std::regex_match(file, std::regex("(" + record + "){12}[0-9A-Fa-f]{62}\r\n")));
}

TEST_F(WindowRun, AStopClickAtAnyPointLeavesWholeChunksAndOneDone) {
  ChooseContinuousJob("2", 2);
  for (std::int64_t stop_at : {3, 40, 97, 160}) {
    boxes.shown.clear();
    std::filesystem::remove(sandbox.Output() + "/MB_2.dat");
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t count) {
      if (count == stop_at) Click();
    };
    Click();
    ExpectDoneAndIdle();
    const auto size = SizeOf(sandbox.Output() + "/MB_2.dat");
    EXPECT_EQ(size % kChunk, 0u) << "stop at " << stop_at;
    EXPECT_LT(size, 2u * 1048576u) << "stop at " << stop_at;
  }
}

// The real pump under the production yield policy: from the moment the Stop
// click is due (and from when it is handled) to "Done.". Reported, not asserted.
TEST_F(WindowRun, StopLatencyOnALargeContinuousJob) {
  ui::QtEventPump qt_pump;
  ScopedEventPump pump_scope(&qt_pump, YieldPolicy::Production());
  ChooseContinuousJob("1", 3);
  QElapsedTimer clock;
  std::vector<double> from_due, from_handled;
  for (int trial = 0; trial < 7; ++trial) {
    boxes.shown.clear();
    qint64 handled = 0, done = 0;
    boxes.on_show = [&](const auto&) { done = clock.nsecsElapsed(); };
    clock.start();
    QTimer::singleShot(300, Qt::PreciseTimer, &form, [&] {
      handled = clock.nsecsElapsed();
      Click();
    });
    Click();
    ExpectDoneAndIdle();
    from_due.push_back((done - 300'000'000) / 1e6);
    from_handled.push_back((done - handled) / 1e6);
    const auto size = SizeOf(sandbox.Output() + "/GB_1.dat");
    EXPECT_EQ(size % kChunk, 0u);
    EXPECT_GT(size, 0u);
    std::filesystem::remove(sandbox.Output() + "/GB_1.dat");
  }
  for (auto* ms : {&from_due, &from_handled}) {
    std::sort(ms->begin(), ms->end());
    std::printf("stop latency %s (ms): min %.1f median %.1f max %.1f\n",
                ms == &from_due ? "click due -> Done." : "click handled -> Done.", ms->front(),
                (*ms)[ms->size() / 2], ms->back());
  }
}

// The program ends inside the run. A death test re-runs this test in a fresh
// process up to the close; the child writes into the folder the parent names.
TEST_F(WindowRun, ClosingTheWindowDuringARunEndsTheProgramAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr const char* kFolderVariable = "TORVANE_TEST_CLOSE_FOLDER";
  if (std::getenv(kFolderVariable) == nullptr) setenv(kFolderVariable, sandbox.Output().c_str(), 1);
  const std::string folder = std::getenv(kFolderVariable);
  ChooseContinuousJob("64", 2);
  form.show();
  EXPECT_EXIT(
      {
        if (folder != sandbox.Output()) std::filesystem::remove_all(sandbox.Root());
        form.Text4->setText(QString::fromStdString(folder + "/"));
        boxes.on_show = [](const auto& box) {
          std::fprintf(stderr, "box: %s\n", box.text.c_str());
        };
        ScriptedPump pump;
        pump.on_pump = [&](std::int64_t count) {
          if (count == 120) form.close();
        };
        Click();
        std::exit(3);  // the run went on
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("box:")));
  unsetenv(kFolderVariable);
  const auto size = SizeOf(folder + "/MB_64.dat");
  EXPECT_GT(size, 0u);
  EXPECT_LT(size, 64u * 1048576u);
  EXPECT_EQ(size % kChunk, 0u);
}

}  // namespace
}  // namespace torvane
