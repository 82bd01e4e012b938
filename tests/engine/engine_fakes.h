#pragma once

// Doubles for the engine's outside world: a file layer that records every
// call and fails on demand, and the window (job source and run view).

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

#include "bigfiles/file_layer.h"
#include "common/number_locale.h"
#include "engine/file_creator.h"
#include "tests/support/fakes.h"

namespace torvane::testing {

// What RecordingFileLayer gets wrong: creating or emptying a file, opening
// it for writing, the third write, or that write only half done and every
// later one refused for want of space.
enum class Fault { None, Create, Open, Write, NoSpace };

// Passes every call on to the real layer, recording the sizes of the writes,
// the writes that did not begin where the one before ended, the syncs out of
// step with the writes, and the files open; with `discard` the data goes to
// /dev/null (which cannot be positioned or synced), and every descriptor and
// the target's name report one regular file as long as the writes so far.
class RecordingFileLayer : public FileLayerWrapper {
 public:
  RecordingFileLayer() : FileLayerWrapper(CurrentFileLayer()) {}
  int Open(const std::string& path, Access access) override {
    if (fault == Fault::Open && access == Access::ReadWriteAlways) return Fail(EACCES);
    return Count(target().Open(discard ? "/dev/null" : path, access));
  }
  int OpenTarget(const std::string& path, bool& created) override {
    if (fault == Fault::Create) return Fail(EACCES);
    return Count(target().OpenTarget(path, created));
  }
  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    const bool third = writes.size() == 2;
    if (disk_full_ || (third && fault == Fault::Write)) return Fail(disk_full_ ? ENOSPC : EIO);
    if (third && fault == Fault::NoSpace) {
      disk_full_ = true;
      size /= 2;
    }
    gaps += offset != end_;
    sync_slips += unsynced_;  // the write before was never put on disk
    unsynced_ = true;
    end_ = offset + static_cast<ByteCount>(size);
    writes.push_back(size);
    return target().WriteAt(fd, data, size, offset);
  }
  bool Close(int fd) override {
    --open_files;
    return target().Close(fd);
  }
  bool Seek(int fd, ByteCount at) override { return discard || target().Seek(fd, at); }
  bool Sync(int fd) override {
    sync_slips += !unsynced_;  // nothing written since the last sync
    unsynced_ = false;
    ++syncs;
    return discard || target().Sync(fd);
  }
  bool Identify(int fd, Identity& identity) override {
    return discard ? Pretend(identity) : target().Identify(fd, identity);
  }
  bool IdentifyName(const std::string& path, Identity& identity) override {
    return discard ? Pretend(identity) : target().IdentifyName(path, identity);
  }
  ByteCount Size(int fd) override { return discard ? end_ : target().Size(fd); }
  // True when the last write was never synced.
  bool unsynced() const { return unsynced_; }

  Fault fault = Fault::None;
  bool discard = false;
  std::vector<std::size_t> writes;
  int gaps = 0;
  int open_files = 0;
  int syncs = 0;
  int sync_slips = 0;  // a write not synced before the next, or a sync of nothing new

 private:
  static int Fail(int error) {
    errno = error;
    return -1;
  }
  int Count(int fd) {
    if (fd >= 0) ++open_files;
    return fd;
  }
  bool Pretend(Identity& identity) const {
    identity = Identity{1, 1, 1, Identity::Kind::Regular, end_};
    return true;
  }
  bool disk_full_ = false;
  bool unsynced_ = false;
  ByteCount end_ = 0;
  ScopedServices scope_{[this](Services& s) { s.files = this; }};
};

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

  RecordingFileLayer layer;
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
