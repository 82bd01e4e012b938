#pragma once

// The window (job source and run view) as the engine's front end, its file
// calls going through the tests' file layer.

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/support/fakes.h"
#include "tests/support/file_double.h"

namespace torvane::testing {

// What a row gets wrong: creating or emptying a file, opening it for
// writing, the third write, or that write only half done and every later one
// refused for want of space.
enum class Fault { None, Create, Open, Write, NoSpace };

// The fixture is the window, the engine's front end, with the output folder
// a fresh TempDir and every file call going through `layer`; no test may
// leave a file open. HexPairs and the case are read live from `job`: the
// case read for record `switch_at` (counted from 0) turns them to binary and
// lower case.
class EngineTest : public ::testing::Test, public JobSource, public RunView {
 protected:
  EngineTest() { job.OutputFolder = dir.path().string(); }
  void TearDown() override { EXPECT_EQ(layer.open_files, 0); }

  std::string OutputFolder() override { return job.OutputFolder; }
  JobSettings ReadJob() override { return job; }
  bool HexPairs() override { return job.HexPairs; }
  CaseConversion CaseConversionNow() override {
    if (case_reads++ == switch_at) {
      job.HexPairs = false;
      job.Case = CaseConversion::Lower;
    }
    return job.Case;
  }
  std::string ButtonCaption() override { return caption; }
  void SetButtonCaption(std::string_view text) override { caption = text; }
  void SetMousePointer(MousePointer) override {}
  void SetProgressValue(int percent) override {
    if (bar_broken) throw std::runtime_error("bar broken");
    values.push_back(percent);
  }
  void SetProgressText(std::string_view text) override { texts.emplace_back(text); }

  void Inject(Fault fault) {
    if (fault == Fault::Create) layer.Fail(FileDouble::kOpenTarget, 1, EACCES);
    if (fault == Fault::Open) layer.Fail(FileDouble::kOpen, 1, EACCES);
    if (fault == Fault::Write) layer.Fail(FileDouble::kWrite, 3, EIO);
    if (fault == Fault::NoSpace) layer.FillAtWrite(3);
  }
  void Custom(const std::string& bytes, bool fixed = true) {
    job.UsePresetSize = false;
    job.CustomLength = bytes;
    job.FixedLength = fixed;
  }
  // The last text before the reset to "Progress Bar" ("" when a run showed none).
  std::string RunText() const { return texts.size() > 1 ? texts[texts.size() - 2] : ""; }
  static std::string ProgressText(ByteCount written, ByteCount total) {
    return FormatThousands(written) + " / " + FormatThousands(total) + " bytes";
  }

  FileDouble layer;
  TempDir dir;
  RecordingMessageBoxes boxes;
  JobSettings job;
  std::size_t case_reads = 0, switch_at = SIZE_MAX;
  bool bar_broken = false;  // the progress bar's value throws
  std::string caption = "Start Creating File";
  std::vector<int> values;
  std::vector<std::string> texts;
  ScopedServices front_end{[this](Services& s) {
    s.job = this;
    s.view = this;
  }};
};

}  // namespace torvane::testing
