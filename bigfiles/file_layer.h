#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/byte_count.h"

namespace torvane {

// Every call that cBigFiles (and the engine's emptying of a target) makes to
// the file system goes through this seam, so that tests can record offsets,
// fail the k-th write or answer "no space". Descriptors are the layer's own
// small integers; the POSIX layer hands out real ones.
//
// Each call returns false / -1 on failure and leaves errno set.
class FileLayer {
 public:
  enum class Access { ReadOnlyExisting, ReadWriteAlways };

  virtual ~FileLayer() = default;

  // ReadOnlyExisting opens an existing file for reading; ReadWriteAlways opens
  // an existing file with its content kept or creates an empty one (mode 0666
  // less the umask). Returns a descriptor >= 0, or -1.
  virtual int Open(const std::string& path, Access access) = 0;
  // Checks that the descriptor can be positioned at `offset` (fails on pipes).
  virtual bool Seek(int fd, ByteCount offset) = 0;
  // One transfer at an explicit offset; may move fewer bytes than asked.
  virtual long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) = 0;
  virtual long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount offset) = 0;
  // Puts the written data on stable storage.
  virtual bool Sync(int fd) = 0;
  virtual bool Truncate(int fd, ByteCount length) = 0;
  // The file's length, or -1.
  virtual ByteCount Size(int fd) = 0;
  virtual bool Close(int fd) = 0;

  virtual bool PathExists(const std::string& path) = 0;
  // Clears read-only (the owner may write again), keeping the other bits.
  virtual bool SetNormalAttributes(const std::string& path) = 0;
  // Creates the file or cuts it to 0 bytes, and closes it again.
  virtual bool CreateEmpty(const std::string& path) = 0;
};

// The layer of the running process: POSIX, unless a test installed another.
FileLayer& CurrentFileLayer();
FileLayer* InstallFileLayer(FileLayer* layer);  // nullptr: POSIX; returns the previous

class ScopedFileLayer {
 public:
  explicit ScopedFileLayer(FileLayer* layer) : previous_(InstallFileLayer(layer)) {}
  ~ScopedFileLayer() { InstallFileLayer(previous_); }
  ScopedFileLayer(const ScopedFileLayer&) = delete;
  ScopedFileLayer& operator=(const ScopedFileLayer&) = delete;

 private:
  FileLayer* previous_;
};

}  // namespace torvane
