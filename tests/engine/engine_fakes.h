#pragma once

// Doubles for the engine's outside world: the window (job source and run
// view) and a file layer that records every call and fails on demand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>

#include "bigfiles/file_layer.h"
#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/support/fakes.h"

namespace torvane::testing {

// The window. HexPairs and the case are read live from `job`, so a test can
// change them mid-run (for instance from `on_case_read`).
struct FakeWindow : JobSource, RunView {
  std::string OutputFolder() override { return click_folder.value_or(job.OutputFolder); }
  JobSettings ReadJob() override { return ++jobs_read, job; }
  bool HexPairs() override { return job.HexPairs; }
  CaseConversion CaseConversionNow() override {
    const CaseConversion now = job.Case;
    if (on_case_read) on_case_read(++case_reads);
    return now;
  }
  std::string ButtonCaption() override { return caption; }
  void SetButtonCaption(std::string_view text) override { caption = text; }
  void SetMousePointer(MousePointer) override {}
  void SetProgressValue(int percent) override {
    if (bar_broken) throw std::runtime_error("bar broken");
    values.push_back(percent);
  }
  void SetProgressText(std::string_view text) override {
    if (text != "Progress Bar") last_run_text = text;
    texts.emplace_back(text);
  }

  JobSettings job;
  std::optional<std::string> click_folder;  // what the folder box says at a click
  int jobs_read = 0, case_reads = 0;
  std::function<void(int)> on_case_read;
  bool bar_broken = false;  // the progress bar's value throws
  std::string caption = "Start Creating File", last_run_text;
  std::vector<int> values;
  std::vector<std::string> texts;
};

// Records writes (offset, length) and open descriptors and passes every call
// on to the real layer, or with `discard` keeps no data at all. Fails the
// k-th write, or answers "no space" after writing half of it; can refuse to
// create or to open.
class RecordingFileLayer : public FileLayer {
 public:
  RecordingFileLayer() : real_(CurrentFileLayer()), scope_(this) {}
  int Open(const std::string& path, Access access) override {
    if (access == Access::ReadWriteAlways && ++rw_opens == fail_open_at) return Fail(EACCES);
    const int fd = discard ? next_fd_++ : real_.Open(path, access);
    if (fd >= 0) open_fds.insert(fd);
    return fd;
  }
  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    const int k = static_cast<int>(writes.size()) + 1;
    if (disk_full_ || k == fail_write_at) return Fail(disk_full_ ? ENOSPC : EIO);
    if (k == no_space_at) disk_full_ = true, size /= 2;
    writes.emplace_back(offset, size);
    end_ = std::max(end_, offset + static_cast<ByteCount>(size));
    return discard ? static_cast<long>(size) : real_.WriteAt(fd, data, size, offset);
  }
  bool Close(int fd) override { return open_fds.erase(fd), discard || real_.Close(fd); }
  bool CreateEmpty(const std::string& path) override {
    if (fail_create) return Fail(EACCES) == 0;
    return end_ = 0, discard || real_.CreateEmpty(path);
  }
  bool Seek(int fd, ByteCount at) override { return discard || real_.Seek(fd, at); }
  long ReadAt(int fd, std::uint8_t* data, std::size_t n, ByteCount at) override {
    return real_.ReadAt(fd, data, n, at);
  }
  bool Sync(int fd) override { return discard || real_.Sync(fd); }
  bool Truncate(int fd, ByteCount n) override { return discard || real_.Truncate(fd, n); }
  ByteCount Size(int fd) override { return discard ? end_ : real_.Size(fd); }
  bool PathExists(const std::string& p) override { return discard || real_.PathExists(p); }
  bool SetNormalAttributes(const std::string& p) override {
    return discard || real_.SetNormalAttributes(p);
  }

  bool discard = false, fail_create = false;
  int fail_open_at = -1, fail_write_at = -1, no_space_at = -1, rw_opens = 0;
  std::vector<std::pair<ByteCount, std::size_t>> writes;
  std::set<int> open_fds;

 private:
  static int Fail(int error) { return errno = error, -1; }
  FileLayer& real_;
  ScopedFileLayer scope_;
  int next_fd_ = 100;
  ByteCount end_ = 0;
  bool disk_full_ = false;
};

// A window attached to the engine, with the output folder a fresh TempDir.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    FileCreator::Attach(&window, &window);
    window.job.OutputFolder = dir.path().string();
  }
  ~EngineTest() override { FileCreator::Attach(nullptr, nullptr); }
  void Custom(const std::string& bytes, int unit = 0, bool fixed = true) {
    window.job.UsePresetSize = false;
    window.job.CustomLength = bytes;
    window.job.CustomUnit = unit;
    window.job.FixedLength = fixed;
  }
  long Dones() const {
    const auto texts = boxes.Texts();
    return std::count(texts.begin(), texts.end(), "Done.");
  }
  std::size_t FilesInDir() const {
    using It = std::filesystem::directory_iterator;
    return static_cast<std::size_t>(std::distance(It(dir.path()), It()));
  }
  static std::string ProgressText(ByteCount written, ByteCount total) {
    return FormatThousands(written) + " / " + FormatThousands(total) + " bytes";
  }

  TempDir dir;
  FakeWindow window;
  RecordingMessageBoxes boxes;
};

}  // namespace torvane::testing
