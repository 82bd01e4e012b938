#pragma once

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

#include "bigfiles/file_layer.h"

namespace torvane::testing {

// Passes every call on to the real layer and misbehaves on request. It hands
// out its own descriptors, lowest free number first as the kernel does: the
// first file gets descriptor 0, and closed numbers come back.
class FaultyLayer : public FileLayer {
 public:
  FaultyLayer() : real_(CurrentFileLayer()), scope_(this) {}

  int Open(const std::string& path, Access access) override {
    const int fd = real_.Open(path, access);
    if (fd < 0) return -1;
    auto slot = std::find(fds_.begin(), fds_.end(), -1);
    if (slot == fds_.end()) slot = fds_.insert(fds_.end(), -1);
    *slot = fd;
    return static_cast<int>(slot - fds_.begin());
  }
  bool Seek(int fd, ByteCount offset) override { return real_.Seek(Real(fd), offset); }
  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    if (Interrupted()) return -1;
    write_offsets.push_back(offset);
    return real_.WriteAt(Real(fd), data, std::min(size, max_per_call), offset);
  }
  long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount offset) override {
    if (Interrupted()) return -1;
    errno = EIO;
    return fail_reads ? -1 : real_.ReadAt(Real(fd), data, std::min(size, max_per_call), offset);
  }
  bool Sync(int fd) override { return !fail_sync && real_.Sync(Real(fd)); }
  bool Truncate(int fd, ByteCount length) override { return real_.Truncate(Real(fd), length); }
  ByteCount Size(int fd) override { return real_.Size(Real(fd)); }
  bool Close(int fd) override {
    const int real = Real(fd);
    if (real >= 0) fds_[static_cast<std::size_t>(fd)] = -1;
    return real_.Close(real);
  }
  bool PathExists(const std::string& path) override { return real_.PathExists(path); }
  bool SetNormalAttributes(const std::string& p) override { return real_.SetNormalAttributes(p); }
  bool CreateEmpty(const std::string& path) override { return real_.CreateEmpty(path); }

  long OpenCount() const {
    return std::count_if(fds_.begin(), fds_.end(), [](int fd) { return fd >= 0; });
  }

  std::size_t max_per_call = std::numeric_limits<std::size_t>::max();
  bool interrupt = false;  // every other transfer fails with EINTR
  bool fail_reads = false;
  bool fail_sync = false;
  std::vector<ByteCount> write_offsets;

 private:
  int Real(int fd) const {
    return fd >= 0 && static_cast<std::size_t>(fd) < fds_.size()
               ? fds_[static_cast<std::size_t>(fd)]
               : -1;
  }
  bool Interrupted() {
    errno = EINTR;
    return interrupt && ++calls_ % 2 == 1;
  }

  FileLayer& real_;
  ScopedFileLayer scope_;
  std::vector<int> fds_;
  int calls_ = 0;
};

}  // namespace torvane::testing
