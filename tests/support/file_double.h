#pragma once

// The one file layer of the tests: every call goes on to the real layer,
// what the engine did is recorded, and the k-th call of any kind can fail.

#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "bigfiles/file_layer.h"
#include "common/services.h"

namespace torvane::testing {

// Records the sizes of the writes, the writes that did not begin where the
// one before ended, the syncs out of step with the writes, and the files
// open. With `discard` the data goes to /dev/null (which cannot be
// positioned or synced), and every descriptor and name report one regular
// file as long as the writes so far; with `space` the folder is as given.
class FileDouble : public FileLayerWrapper {
 public:
  enum Call { kOpen, kOpenTarget, kWrite, kSync, kLock, kIsFolder, kCalls };
  FileDouble() : FileLayerWrapper(CurrentFileLayer()) {}
  explicit FileDouble(Space given) : FileDouble() { space = given; }

  // The k-th call of `kind` from now (1: the next) fails with `error`.
  void Fail(Call kind, int k, int error) { fail_[kind] = {calls_[kind] + k, error}; }
  // The k-th write from now is only half done, and every later one finds no
  // space.
  void FillAtWrite(int k) {
    fill_at_ = calls_[kWrite] + k;
    full_ = false;
  }

  int Open(const std::string& path, Access access) override {
    if (Fails(kOpen)) return -1;
    return Count(target().Open(discard ? "/dev/null" : path, access));
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
    return discard || target().Sync(fd);
  }
  bool IsFolder(const std::string& path) override {
    return !Fails(kIsFolder) && target().IsFolder(path);
  }
  bool LockExclusive(int fd) override { return !Fails(kLock) && target().LockExclusive(fd); }
  bool Close(int fd) override {
    --open_files;
    return target().Close(fd);
  }
  bool Seek(int fd, ByteCount at) override { return discard || target().Seek(fd, at); }
  bool Identify(int fd, Identity& identity) override {
    return discard ? Pretend(identity) : target().Identify(fd, identity);
  }
  bool IdentifyName(const std::string& path, Identity& identity) override {
    return discard ? Pretend(identity) : target().IdentifyName(path, identity);
  }
  ByteCount Size(int fd) override { return discard ? end_ : target().Size(fd); }
  bool FolderSpace(const std::string& folder, Space& out) override {
    if (space.free < 0) return target().FolderSpace(folder, out);
    out = space;
    return true;
  }
  int calls(Call kind) const { return calls_[kind]; }
  // True when the last write was never synced.
  bool unsynced() const { return unsynced_; }

  bool discard = false;
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
    errno = fail_[kind].error;
    return true;
  }
  int Count(int fd) {
    open_files += fd >= 0;
    return fd;
  }
  bool Pretend(Identity& identity) const {
    identity = Identity{1, 1, 1, Identity::Kind::Regular, end_};
    return true;
  }
  std::array<Failure, kCalls> fail_{};
  std::array<int, kCalls> calls_{};
  int fill_at_ = 0;
  bool full_ = false, unsynced_ = false;
  ByteCount end_ = 0;
  ScopedServices scope_{[this](Services& s) { s.files = this; }};
};

}  // namespace torvane::testing
