#pragma once

// The one file layer of the tests: every call goes on to the real layer,
// what the engine did is recorded, and the k-th call of any kind can fail.

#include <array>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

#include "bigfiles/file_layer.h"
#include "common/services.h"

namespace torvane::testing {

// Records the sizes of the writes, the writes that did not begin where the
// one before ended, the syncs out of step with the writes, and the files
// open. With `space` the folder is as given.
class FileDouble : public FileLayerWrapper {
 public:
  enum Call { kOpen, kOpenTarget, kWrite, kSync, kLock, kIsFolder, kCalls };
  static constexpr int kThrow = -1;  // the error of a call that throws instead
  FileDouble() : FileLayerWrapper(CurrentFileLayer()) {}
  explicit FileDouble(Space given) : FileDouble() { space = given; }

  // The k-th call of `kind` from now (1: the next) fails with `error`, or
  // throws with kThrow.
  void Fail(Call kind, int k, int error) { fail_[kind] = {calls_[kind] + k, error}; }
  // The k-th write from now is only half done, and every later one finds no
  // space.
  void FillAtWrite(int k) {
    fill_at_ = calls_[kWrite] + k;
    full_ = false;
  }

  int Open(const std::string& path, Access access) override {
    return Fails(kOpen) ? -1 : Count(target().Open(path, access));
  }
  int OpenTarget(const std::string& path, bool& created) override {
    return Fails(kOpenTarget) ? -1 : Count(target().OpenTarget(path, created));
  }
  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    if (full_) return Fail(ENOSPC);
    if (Fails(kWrite)) return -1;
    if (calls_[kWrite] == fill_at_) {
      full_ = true;
      size /= 2;
    }
    gaps += offset != end_;
    sync_slips += unsynced_;  // the write before was never put on disk
    unsynced_ = true;
    end_ = offset + static_cast<ByteCount>(size);
    writes.push_back(size);
    return target().WriteAt(fd, data, size, offset);
  }
  bool Sync(int fd) override {
    if (Fails(kSync)) return false;
    sync_slips += !unsynced_;  // nothing written since the last sync
    unsynced_ = false;
    ++syncs;
    return target().Sync(fd);
  }
  bool IsFolder(const std::string& path) override {
    return !Fails(kIsFolder) && target().IsFolder(path);
  }
  bool Close(int fd) override {
    --open_files;
    return target().Close(fd);
  }
  bool FolderSpace(const std::string& folder, Space& out) override {
    if (space.free < 0) return target().FolderSpace(folder, out);
    out = space;
    return true;
  }
  // True when the last write was never synced.
  bool unsynced() const { return unsynced_; }

  Space space{-1};  // the real folder's while `free` is negative
  std::vector<std::size_t> writes;
  int gaps = 0, open_files = 0, syncs = 0;
  int sync_slips = 0;  // a write not synced before the next, or a sync of nothing new

 private:
  struct Failure {
    int at = 0, error = 0;
  };
  static int Fail(int error) {
    errno = error;
    return -1;
  }
  bool Fails(Call kind) {
    if (++calls_[kind] != fail_[kind].at) return false;
    if (fail_[kind].error == kThrow) throw std::runtime_error("the file layer broke");
    errno = fail_[kind].error;
    return true;
  }
  int Count(int fd) {
    open_files += fd >= 0;
    return fd;
  }
  std::array<Failure, kCalls> fail_{};
  std::array<int, kCalls> calls_{};
  int fill_at_ = 0;
  bool full_ = false, unsynced_ = false;
  ByteCount end_ = 0;
  ScopedServices scope_{[this](Services& s) { s.files = this; }};
};

}  // namespace torvane::testing
