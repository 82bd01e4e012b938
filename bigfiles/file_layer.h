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

  // What a descriptor or a name refers to, as far as the checks on a target
  // need it.
  struct Identity {
    enum class Kind { Regular, Directory, SymbolicLink, Other };
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t links = 0;
    Kind kind = Kind::Other;
    ByteCount size = 0;
    // What the file occupies on its file system: less than its size when it
    // is sparse, rounded up to whole blocks otherwise.
    ByteCount allocated = 0;
    // The same file (device and inode), whatever names lead to it.
    [[nodiscard]] bool SameFileAs(const Identity& other) const {
      return device == other.device && inode == other.inode;
    }
  };

  virtual ~FileLayer() = default;

  // ReadOnlyExisting opens an existing file for reading; ReadWriteAlways opens
  // an existing file with its content kept or creates an empty one (mode 0666
  // less the umask), never through a symbolic link at the last component
  // (ELOOP). Returns a descriptor >= 0, or -1.
  [[nodiscard]] virtual int Open(const std::string& path, Access access) = 0;
  // Opens `path` for reading and writing as ReadWriteAlways does, without
  // ever waiting (a FIFO answers at once), and says whether the file was
  // made by this call. -1 on failure; ELOOP: the name is a symbolic link.
  [[nodiscard]] virtual int OpenTarget(const std::string& path, bool& created) = 0;
  // The file behind a descriptor, or behind a name itself (a symbolic link
  // is reported as one, not followed).
  [[nodiscard]] virtual bool Identify(int fd, Identity& identity) = 0;
  [[nodiscard]] virtual bool IdentifyName(const std::string& path, Identity& identity) = 0;
  // An exclusive advisory lock, held until every descriptor of this open
  // file is closed (so it dies with the process). Never waits: false with
  // EWOULDBLOCK when another open file holds it.
  [[nodiscard]] virtual bool LockExclusive(int fd) = 0;
  // Removes the name; other names of the same file keep it.
  [[nodiscard]] virtual bool Remove(const std::string& path) = 0;
  // Gives the file named `from` the name `to` in one step, replacing what
  // `to` names (a file, or a link itself, never what it leads to).
  [[nodiscard]] virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Puts the folder entry of `path` on stable storage, so that a new name
  // survives a crash.
  [[nodiscard]] virtual bool SyncFolderOf(const std::string& path) = 0;
  // What the file system of a folder offers: the bytes free for this user,
  // the size of the largest file it can hold, and the unit it allocates in
  // (a file of one byte takes a whole block).
  // FAT keeps a file's size in 32 bits: the largest file it holds.
  static constexpr ByteCount kFatLargestFile = 4294967295;
  struct Space {
    ByteCount free = 0;
    ByteCount largest_file = 0;
    ByteCount block = 4096;
  };
  [[nodiscard]] virtual bool FolderSpace(const std::string& folder, Space& space) = 0;
  // Checks that the descriptor can be positioned at `offset` (fails on pipes).
  [[nodiscard]] virtual bool Seek(int fd, ByteCount offset) = 0;
  // One transfer at an explicit offset: the bytes moved, which may be fewer
  // than asked (0 from a read at the end of the file), or -1.
  [[nodiscard]] virtual long WriteAt(int fd, const std::uint8_t* data, std::size_t size,
                                     ByteCount offset) = 0;
  [[nodiscard]] virtual long ReadAt(int fd, std::uint8_t* data, std::size_t size,
                                    ByteCount offset) = 0;
  // Puts the written data on stable storage.
  [[nodiscard]] virtual bool Sync(int fd) = 0;
  // Sets the file's length; bytes added read as zeros.
  [[nodiscard]] virtual bool Truncate(int fd, ByteCount length) = 0;
  // The file's length, or -1.
  [[nodiscard]] virtual ByteCount Size(int fd) = 0;
  // The descriptor is released whatever the answer: never close it again.
  [[nodiscard]] virtual bool Close(int fd) = 0;

  // True when the name leads to anything, through symbolic links.
  [[nodiscard]] virtual bool PathExists(const std::string& path) = 0;
  // True when the name leads to a folder, through symbolic links.
  [[nodiscard]] virtual bool IsFolder(const std::string& path) = 0;
  // Clears read-only (the owner may write again), keeping the other bits.
  [[nodiscard]] virtual bool SetNormalAttributes(const std::string& path) = 0;
  // Creates the file or cuts it to 0 bytes, and closes it again.
  [[nodiscard]] virtual bool CreateEmpty(const std::string& path) = 0;
  // Lets a later Truncate that lengthens the file store no zeros. POSIX file
  // systems do so anyway (true); NTFS only for a file marked sparse, else it
  // allocates the whole length. False where the file system has no sparse
  // files (FAT): the file still reads the same, it only takes more room.
  [[nodiscard]] virtual bool MarkSparse(int fd) = 0;
};

// Passes every call on to another layer: test layers derive from it and
// override only what they change.
class FileLayerWrapper : public FileLayer {
 public:
  explicit FileLayerWrapper(FileLayer& target) : target_(target) {}
  [[nodiscard]] int Open(const std::string& path, Access access) override {
    return target_.Open(path, access);
  }
  [[nodiscard]] int OpenTarget(const std::string& path, bool& created) override {
    return target_.OpenTarget(path, created);
  }
  [[nodiscard]] bool Identify(int fd, Identity& identity) override {
    return target_.Identify(fd, identity);
  }
  [[nodiscard]] bool IdentifyName(const std::string& path, Identity& identity) override {
    return target_.IdentifyName(path, identity);
  }
  [[nodiscard]] bool LockExclusive(int fd) override { return target_.LockExclusive(fd); }
  [[nodiscard]] bool Remove(const std::string& path) override { return target_.Remove(path); }
  [[nodiscard]] bool Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  [[nodiscard]] bool SyncFolderOf(const std::string& path) override {
    return target_.SyncFolderOf(path);
  }
  [[nodiscard]] bool FolderSpace(const std::string& folder, Space& space) override {
    return target_.FolderSpace(folder, space);
  }
  [[nodiscard]] bool Seek(int fd, ByteCount offset) override { return target_.Seek(fd, offset); }
  [[nodiscard]] long WriteAt(int fd, const std::uint8_t* data, std::size_t size,
                             ByteCount offset) override {
    return target_.WriteAt(fd, data, size, offset);
  }
  [[nodiscard]] long ReadAt(int fd, std::uint8_t* data, std::size_t size,
                            ByteCount offset) override {
    return target_.ReadAt(fd, data, size, offset);
  }
  [[nodiscard]] bool Sync(int fd) override { return target_.Sync(fd); }
  [[nodiscard]] bool Truncate(int fd, ByteCount length) override {
    return target_.Truncate(fd, length);
  }
  [[nodiscard]] ByteCount Size(int fd) override { return target_.Size(fd); }
  [[nodiscard]] bool Close(int fd) override { return target_.Close(fd); }
  [[nodiscard]] bool PathExists(const std::string& path) override {
    return target_.PathExists(path);
  }
  [[nodiscard]] bool IsFolder(const std::string& path) override { return target_.IsFolder(path); }
  [[nodiscard]] bool SetNormalAttributes(const std::string& path) override {
    return target_.SetNormalAttributes(path);
  }
  [[nodiscard]] bool CreateEmpty(const std::string& path) override {
    return target_.CreateEmpty(path);
  }
  [[nodiscard]] bool MarkSparse(int fd) override { return target_.MarkSparse(fd); }

 protected:
  // The layer every call is passed on to.
  FileLayer& target() { return target_; }

 private:
  FileLayer& target_;
};

// CurrentServices().files, else the platform's layer (POSIX or Windows).
FileLayer& CurrentFileLayer();

}  // namespace torvane
