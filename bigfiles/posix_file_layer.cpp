#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "bigfiles/file_layer.h"
#include "common/services.h"

namespace torvane {
namespace {

constexpr ByteCount kLargestCount = std::numeric_limits<ByteCount>::max();

FileLayer::Identity IdentityOf(const struct stat& info) {
  using Kind = FileLayer::Identity::Kind;
  FileLayer::Identity identity;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.links = static_cast<std::uint64_t>(info.st_nlink);
  identity.kind = S_ISREG(info.st_mode)   ? Kind::Regular
                  : S_ISDIR(info.st_mode) ? Kind::Directory
                  : S_ISLNK(info.st_mode) ? Kind::SymbolicLink
                                          : Kind::Other;
  identity.size = static_cast<ByteCount>(info.st_size);
  identity.allocated = static_cast<ByteCount>(info.st_blocks) * 512;  // st_blocks counts 512s
  return identity;
}

// Thin wrappers of the system calls. Retrying EINTR and short transfers is
// cBigFiles' business, so that a test layer can provoke both.
class PosixFileLayer final : public FileLayer {
 public:
  int Open(const std::string& path, Access access) override {
    if (access == Access::ReadWriteAlways) {
      // Mode 0666 less the umask, as any new document gets. O_NOFOLLOW: a
      // link planted at the name must not lead the writes out of the folder.
      return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    // O_NONBLOCK: a FIFO without a writer must not hang the window's thread.
    // It changes nothing for regular files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    // A folder opens for reading here, but it is no file to measure or read.
    struct stat info;
    int error = 0;
    if (::fstat(fd, &info) != 0)
      error = errno;
    else if (S_ISDIR(info.st_mode))
      error = EISDIR;
    if (error == 0) return fd;
    ::close(fd);
    errno = error;
    return -1;
  }

  int OpenTarget(const std::string& path, bool& created) override {
    // O_NONBLOCK: a FIFO at the name must not hang the window's thread; the
    // caller refuses anything but a regular file anyway. Exclusive creation
    // first, so that `created` is known, not guessed.
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 3; ++attempt) {
      int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) {
        created = true;
        return fd;
      }
      if (errno != EEXIST) return -1;
      fd = ::open(path.c_str(), kFlags);
      if (fd >= 0) {
        created = false;
        return fd;
      }
      // Removed between the two calls: try again; anything else is final.
      if (errno != ENOENT) return -1;
    }
    return -1;
  }

  bool Identify(int fd, Identity& identity) override {
    struct stat info;
    if (::fstat(fd, &info) != 0) return false;
    identity = IdentityOf(info);
    return true;
  }

  bool IdentifyName(const std::string& path, Identity& identity) override {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    identity = IdentityOf(info);
    return true;
  }

  bool LockExclusive(int fd) override {
    int result;
    do {
      result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool SyncFolderOf(const std::string& path) override {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
  }

  bool FolderSpace(const std::string& folder, Space& space) override {
    struct statvfs volume;
    struct statfs kind;
    if (::statvfs(folder.c_str(), &volume) != 0 || ::statfs(folder.c_str(), &kind) != 0)
      return false;
    const auto free = static_cast<unsigned __int128>(volume.f_bavail) * volume.f_frsize;
    space.free = static_cast<ByteCount>(std::min<unsigned __int128>(free, kLargestCount));
    // FAT keeps a file's size in 32 bits. Other file systems take files as
    // large as a byte count says: what they answer for _PC_FILESIZEBITS is
    // no limit (tmpfs and overlayfs say 32 and hold far larger files), and
    // a write past a real limit fails the run with its reason anyway.
    constexpr long kMsdosMagic = 0x4d44;
    space.largest_file =
        static_cast<long>(kind.f_type) == kMsdosMagic ? kFatLargestFile : kLargestCount;
    space.block = volume.f_frsize > 0 ? static_cast<ByteCount>(volume.f_frsize) : 4096;
    return true;
  }

  bool Seek(int fd, ByteCount offset) override {
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
  }

  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    return static_cast<long>(::pwrite(fd, data, size, static_cast<off_t>(offset)));
  }

  long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount offset) override {
    return static_cast<long>(::pread(fd, data, size, static_cast<off_t>(offset)));
  }

  bool Sync(int fd) override {
    int result;
    do {
      result = ::fdatasync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  bool Truncate(int fd, ByteCount length) override {
    int result;
    do {
      result = ::ftruncate(fd, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

  ByteCount Size(int fd) override {
    struct stat info;
    if (::fstat(fd, &info) != 0) return -1;
    return static_cast<ByteCount>(info.st_size);
  }

  // The descriptor is gone whatever close() answers (EINTR included), so it
  // is never retried: a retry could close a descriptor opened meanwhile.
  bool Close(int fd) override { return ::close(fd) == 0; }

  bool PathExists(const std::string& path) override {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
  }

  bool IsFolder(const std::string& path) override {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  bool SetNormalAttributes(const std::string& path) override {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    return ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
  }

  bool CreateEmpty(const std::string& path) override {
    // O_NONBLOCK: opening a FIFO without a reader for writing would wait for
    // one for ever; this way it fails (ENXIO) and the caller reports it.
    struct stat info;
    const bool existed = ::stat(path.c_str(), &info) == 0;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return false;
    if (::close(fd) != 0) return false;
    // Every write is synced, but a new file's name lives in its folder: sync
    // that once too, so that a finished file survives a crash by name. A
    // folder that cannot be synced still holds the file; the writes decide.
    if (!existed) (void)SyncFolderOf(path);
    return true;
  }

  // ftruncate leaves the added length unallocated wherever the file system
  // can: nothing to mark.
  bool MarkSparse(int) override { return true; }
};

PosixFileLayer g_posix_layer;

}  // namespace

FileLayer& CurrentFileLayer() {
  FileLayer* layer = CurrentServices().files;
  return layer != nullptr ? *layer : g_posix_layer;
}

}  // namespace torvane
