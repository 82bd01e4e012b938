#pragma once

// The window (job source and run view) as the engine's front end, its file
// calls going through the tests' file layer.

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/random/seeded_stream.h"
#include "tests/support/fakes.h"
#include "tests/support/file_double.h"

namespace torvane::testing {

// What a row gets wrong: creating or emptying a file, opening it for
// writing, the third write (failing, or throwing out of the file layer), or
// that write only half done and every later one refused for want of space;
// the third draw of random data (failing, or out of memory), or the
// checksum (Events sets those up).
enum class Fault { None, Create, Open, Write, Throw, NoSpace, Draw, Oom, NoHash, Hashing, Digest };

// The window with the output folder a fresh TempDir and every file call
// going through `layer`; no run may leave a file open, and the run options
// are the window's own again afterwards. HexPairs and the case are read live
// from `job`: the case read for record `switch_at` (counted from 0) turns
// them to binary and lower case. A table builds one for each row.
struct Window : JobSource, RunView {
  Window() { job.OutputFolder = dir.path().string(); }
  ~Window() override {
    EXPECT_EQ(layer.open_files, 0);
    FileCreator::SetRunOptions({});
  }

  std::string OutputFolder() override { return job.OutputFolder; }
  JobSettings ReadJob() override { return job; }
  bool HexPairs() override { return job.HexPairs; }
  CaseConversion CaseConversionNow() override {
    if (case_reads++ == switch_at)
      std::tie(job.HexPairs, job.Case) = std::pair(false, CaseConversion::Lower);
    return job.Case;
  }
  std::string ButtonCaption() override { return caption; }
  void SetButtonCaption(std::string_view text) override { caption = text; }
  void SetMousePointer(MousePointer) override {}
  void SetProgressValue(int percent) override { values.push_back(percent); }
  void SetProgressText(std::string_view text) override { texts.emplace_back(text); }

  void Inject(Fault fault) {
    if (fault == Fault::Create) layer.Fail(FileDouble::kOpenTarget, 1, EACCES);
    if (fault == Fault::Open) layer.Fail(FileDouble::kOpen, 1, EACCES);
    if (fault == Fault::Write || fault == Fault::Throw)
      layer.Fail(FileDouble::kWrite, 3, fault == Fault::Write ? EIO : FileDouble::kThrow);
    if (fault == Fault::NoSpace) layer.FillAtWrite(3);
  }
  void Custom(const std::string& bytes, bool fixed = true) {
    std::tie(job.UsePresetSize, job.CustomLength, job.FixedLength) =
        std::tuple(false, bytes, fixed);
  }
  // One run under `options`, its content from a fresh stream of `seed` when
  // there is one; the bytes of its file.
  std::string RunJob(const FileCreator::RunOptions& options = {}, const char* seed = nullptr) {
    FileCreator::SetRunOptions(options);
    std::optional<Seeded> seeded;
    if (seed != nullptr) seeded.emplace(seed);
    FileCreator::PushButton1_Click();
    return ReadFileBytes(FileCreator::JobFilePath());
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
  std::string caption = "Start Creating File";
  std::vector<int> values;
  std::vector<std::string> texts;
  ScopedServices front_end{[this](Services& s) {
    s.job = this;
    s.view = this;
  }};
};

class EngineTest : public ::testing::Test, public Window {};

}  // namespace torvane::testing
