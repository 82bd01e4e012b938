#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "bigfiles/file_layer.h"

namespace torvane {
namespace {

// Thin wrappers of the system calls. Retrying EINTR and short transfers is
// cBigFiles' business, so that a test layer can provoke both.
class PosixFileLayer final : public FileLayer {
 public:
  int Open(const std::string& path, Access access) override {
    if (access == Access::ReadWriteAlways) {
      // Mode 0666 less the umask, as any new document gets.
      return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
    // that once too, so that a finished file survives a crash by name.
    if (!existed) SyncFolderOf(path);
    return true;
  }

 private:
  static void SyncFolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
  }
};

PosixFileLayer g_posix_layer;
FileLayer* g_layer = &g_posix_layer;

}  // namespace

FileLayer& CurrentFileLayer() { return *g_layer; }

FileLayer* InstallFileLayer(FileLayer* layer) {
  FileLayer* previous = g_layer;
  g_layer = layer != nullptr ? layer : &g_posix_layer;
  return previous;
}

}  // namespace torvane
