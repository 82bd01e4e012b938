#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"
#include "ui/qt_services.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::ReadFileBytes;
using testing::RecordingMessageBoxes;
using testing::ScriptedPump;
using ui::Form1;

constexpr std::uintmax_t kChunk = 61440;  // a continuous run writes whole chunks of this size

std::string S(const QString& text) { return text.toStdString(); }

class WindowRun : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Form_Load();
    form.Text4->setText(QString::fromStdString(sandbox.Output() + "/"));
  }
  // A continuous job of `length` units (2 megabytes, 3 gigabytes).
  void ChooseLargeContinuousJob(const char* length, int unit) {
    QTest::mouseClick(form.Option5, Qt::LeftButton);
    QTest::mouseClick(form.Option9, Qt::LeftButton);
    form.Combo2->setCurrentIndex(unit);
    form.Text3->setText(length);
  }
  void ExpectIdleAgain() {
    EXPECT_EQ(S(form.PushButton1->text()), "Start Creating File");
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(S(form.ProgressBar1->text()), "Progress Bar");
  }

  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  Form1 form{sandbox.store};
};

TEST_F(WindowRun, DefaultsMakeOneKilobyteOfHexRecords) {
  ScriptedPump pump;
  std::vector<std::string> captions;
  std::vector<std::string> progress;
  pump.on_pump = [&](std::int64_t) {
    captions.push_back(S(form.PushButton1->text()));
    progress.push_back(S(form.ProgressBar1->text()));
  };
  QTest::mouseClick(form.PushButton1, Qt::LeftButton);

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
  ASSERT_FALSE(captions.empty());
  EXPECT_TRUE(std::all_of(captions.begin(), captions.end(), [](auto& c) { return c == "Stop"; }));
  EXPECT_THAT(progress, ::testing::Contains("1,024 / 1,024 bytes"));
  ExpectIdleAgain();

  const std::string file = ReadFileBytes(sandbox.Output() + "/KB_1.dat");
  ASSERT_EQ(file.size(), 1024u);
  std::vector<std::size_t> records;
  for (std::size_t start = 0; start < file.size();) {
    const std::size_t end = file.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    for (std::size_t i = start; i < end; ++i)
      ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(file[i]))) << "offset " << i;
    records.push_back(end + 2 - start);
    start = end + 2;
  }
  std::vector<std::size_t> expected(12, 80);
  expected.push_back(64);
  EXPECT_EQ(records, expected);
}

TEST_F(WindowRun, AStopClickAtAnyPointLeavesWholeChunksAndOneDone) {
  ChooseLargeContinuousJob("2", 2);
  for (std::int64_t stop_at : {3, 40, 97, 160}) {
    boxes.shown.clear();
    std::filesystem::remove(sandbox.Output() + "/MB_2.dat");
    ScriptedPump pump;
    pump.on_pump = [&](std::int64_t count) {
      if (count == stop_at) QTest::mouseClick(form.PushButton1, Qt::LeftButton);
    };
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."}) << "stop at " << stop_at;
    ExpectIdleAgain();
    const std::string path = sandbox.Output() + "/MB_2.dat";
    const auto size = std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;
    EXPECT_EQ(size % kChunk, 0u) << "stop at " << stop_at;
    EXPECT_LT(size, 2u * 1048576u) << "stop at " << stop_at;
  }
}

// Stop latency with the real pump and the production yield policy: from the
// moment the click is due to the run's end ("Done."). Reported, not asserted.
TEST_F(WindowRun, StopAnswersPromptlyOnALargeContinuousJob) {
  ui::QtEventPump qt_pump;
  ScopedEventPump pump_scope(&qt_pump, YieldPolicy::Production());
  ChooseLargeContinuousJob("1", 3);
  QElapsedTimer clock;
  std::vector<double> latencies;  // click due -> "Done."
  std::vector<double> wind_down;  // click handled -> "Done."
  for (int trial = 0; trial < 7; ++trial) {
    boxes.shown.clear();
    qint64 clicked = 0;
    qint64 done = 0;
    boxes.on_show = [&](const auto&) { done = clock.nsecsElapsed(); };
    clock.start();
    const qint64 due = clock.nsecsElapsed() + 300'000'000;
    QTimer::singleShot(300, Qt::PreciseTimer, &form, [&] {
      clicked = clock.nsecsElapsed();
      QTest::mouseClick(form.PushButton1, Qt::LeftButton);
    });
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);

    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    latencies.push_back((done - due) / 1e6);
    wind_down.push_back((done - clicked) / 1e6);
    const auto size = std::filesystem::file_size(sandbox.Output() + "/GB_1.dat");
    EXPECT_EQ(size % kChunk, 0u);
    EXPECT_GT(size, 0u);
    EXPECT_LT(size, 1073741824u);
    std::filesystem::remove(sandbox.Output() + "/GB_1.dat");
  }
  const auto report = [this](const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("stop latency, %s (ms): min %.1f median %.1f max %.1f\n", what, ms.front(),
                ms[ms.size() / 2], ms.back());
    RecordProperty(what, std::to_string(ms[ms.size() / 2]));
  };
  report("click due to Done", latencies);
  report("click handled to Done", wind_down);
}

// The program ends inside the run: a death test, run in a fresh process
// that re-runs this test up to the close and writes into the folder that the
// parent names through the environment.
TEST_F(WindowRun, ClosingTheWindowDuringARunEndsTheProgramAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr const char* kFolderVariable = "TORVANE_TEST_CLOSE_FOLDER";
  if (std::getenv(kFolderVariable) == nullptr) setenv(kFolderVariable, sandbox.Output().c_str(), 1);
  const std::string folder = std::getenv(kFolderVariable);
  ChooseLargeContinuousJob("64", 2);
  form.show();
  EXPECT_EXIT(
      {
        if (folder != sandbox.Output()) std::filesystem::remove_all(sandbox.Root());
        form.Text4->setText(QString::fromStdString(folder + "/"));
        boxes.on_show = [](const auto& box) { std::fprintf(stderr, "box: %s\n", box.text.c_str()); };
        ScriptedPump pump;
        pump.on_pump = [&](std::int64_t count) {
          if (count == 120) form.close();
        };
        QTest::mouseClick(form.PushButton1, Qt::LeftButton);
        std::fprintf(stderr, "the run went on\n");
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("box:")));
  unsetenv(kFolderVariable);
  const auto size = std::filesystem::file_size(folder + "/MB_64.dat");
  EXPECT_GT(size, 0u);
  EXPECT_LT(size, 64u * 1048576u);
  EXPECT_EQ(size % kChunk, 0u);
}

}  // namespace
}  // namespace torvane
