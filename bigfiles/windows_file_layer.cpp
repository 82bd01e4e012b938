// The file layer on Windows: the calls of the POSIX layer in Win32 terms.
// Names arrive in UTF-8 and travel as UTF-16; the descriptors handed out are
// indexes into a table of HANDLEs.

#include <algorithm>
#include <cerrno>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "bigfiles/file_layer.h"
#include "common/services.h"

// After the project's headers: windows.h defines a Yield() macro that would
// rewrite common/yield.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

namespace torvane {
namespace {

constexpr ByteCount kLargestCount = std::numeric_limits<ByteCount>::max();
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Windows locks are mandatory: a lock on the data would fail the writes of
// the engine's own second handle. One byte far past any file is locked
// instead, and only other locks meet it.
constexpr ULONGLONG kLockOffset = 0x7FFFFFFFFFFFFFFEULL;

// The errno a failed Win32 call stands for; `locking` for LockFileEx, where
// another holder means "would block".
int ErrnoOf(DWORD error, bool locking = false) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return locking ? EWOULDBLOCK : EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
      return EINVAL;
    case ERROR_DIRECTORY:
      return EISDIR;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return ENOTSUP;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_READY:
      return ENXIO;
    case ERROR_FILE_TOO_LARGE:
      return EFBIG;
    default:
      return EIO;
  }
}

// Sets errno from GetLastError(); returns `failed` so that a call reads
// `return Fail(-1);`.
template <class T>
T Fail(T failed, bool locking = false) {
  errno = ErrnoOf(GetLastError(), locking);
  return failed;
}

template <class T>
T FailWith(int error, T failed) {
  errno = error;
  return failed;
}

// UTF-8 to UTF-16, `/` accepted for `\`. A name too long for MAX_PATH gets
// the `\\?\` prefix, which takes the full, normalized name (no `/`, no
// `..`). False with errno set: EINVAL for invalid UTF-8.
bool WideName(const std::string& path, std::wstring& wide) {
  if (path.empty()) return FailWith(ENOENT, false);
  if (path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return FailWith(ENAMETOOLONG, false);
  const int size = static_cast<int>(path.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (length <= 0) return FailWith(EINVAL, false);
  wide.assign(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length) !=
      length)
    return FailWith(EINVAL, false);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  // 248: a folder's name leaves room for an 8.3 name inside it.
  if (wide.size() < 248 || wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0)
    return true;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return Fail(false);
  std::wstring full(needed, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return Fail(false);
  full.resize(written);
  if (full.rfind(L"\\\\", 0) == 0)
    wide = L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
  else
    wide = L"\\\\?\\" + full;
  return true;
}

// The attributes of the name itself (a link is not followed), or
// INVALID_FILE_ATTRIBUTES with errno set.
DWORD OwnAttributes(const std::wstring& wide) {
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) errno = ErrnoOf(GetLastError());
  return attributes;
}

// Why a name could not be opened as a file: the system says "access denied"
// for a folder and for a junction too, which the engine tells apart.
int OpenErrno(const std::wstring& wide, DWORD error) {
  if (error == ERROR_ACCESS_DENIED) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ELOOP;
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    }
  }
  return ErrnoOf(error);
}

FileLayer::Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  using Kind = FileLayer::Identity::Kind;
  FileLayer::Identity identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.links = info.nNumberOfLinks;
  const DWORD attributes = info.dwFileAttributes;
  identity.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Kind::SymbolicLink
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? Kind::Directory
                  : (attributes & FILE_ATTRIBUTE_DEVICE)      ? Kind::Other
                                                              : Kind::Regular;
  identity.size = static_cast<ByteCount>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                         info.nFileSizeLow);
  identity.allocated = identity.size;  // until the handle tells better (AllocatedOf)
  return identity;
}

// What a file occupies on its volume: less than its length when sparse.
void AllocatedOf(HANDLE handle, FileLayer::Identity& identity) {
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
    identity.allocated = static_cast<ByteCount>(standard.AllocationSize.QuadPart);
}

// Thin wrappers of the Win32 calls, like the POSIX layer's of the system
// calls; the HANDLEs live in a table indexed by descriptor.
class WindowsFileLayer final : public FileLayer {
 public:
  int Open(const std::string& path, Access access) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return -1;
      if (access == Access::ReadWriteAlways) return OpenWritable(wide, OPEN_ALWAYS);
      // Follows links, as open(O_RDONLY) does. A folder opens only with
      // backup semantics; without them it is "access denied", told apart.
      const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return FailWith(OpenErrno(wide, GetLastError()), -1);
      return Adopt(handle);
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, -1);
    }
  }

  int OpenTarget(const std::string& path, bool& created) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return -1;
      // Exclusive creation first, so that `created` is known, not guessed.
      for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = OpenWritable(wide, CREATE_NEW);
        if (fd >= 0) {
          created = true;
          return fd;
        }
        if (errno != EEXIST) return -1;
        fd = OpenWritable(wide, OPEN_EXISTING);
        if (fd >= 0) {
          created = false;
          return fd;
        }
        // Removed between the two calls: try again; anything else is final.
        if (errno != ENOENT) return -1;
      }
      return -1;
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, -1);
    }
  }

  bool Identify(int fd, Identity& identity) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return Fail(false);
    identity = IdentityOf(info);
    AllocatedOf(handle, identity);
    return true;
  }

  bool IdentifyName(const std::string& path, Identity& identity) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return false;
      // No access asked: only the attributes are read. Backup semantics open
      // a folder; the reparse flag opens a link itself, as lstat looks at it.
      const HANDLE handle =
          CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return Fail(false);
      BY_HANDLE_FILE_INFORMATION info;
      FILE_STANDARD_INFO standard{};
      const bool known = GetFileInformationByHandle(handle, &info) != 0;
      const DWORD error = GetLastError();
      // A removed file that some handle still holds keeps its name until
      // that handle closes: the name leads nowhere any more.
      const bool standard_known = known && GetFileInformationByHandleEx(handle, FileStandardInfo,
                                                                        &standard, sizeof standard);
      const bool removed = standard_known && standard.DeletePending;
      CloseHandle(handle);
      if (!known) return FailWith(ErrnoOf(error), false);
      if (removed) return FailWith(ENOENT, false);
      identity = IdentityOf(info);
      if (standard_known)
        identity.allocated = static_cast<ByteCount>(standard.AllocationSize.QuadPart);
      return true;
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  bool LockExclusive(int fd) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kLockOffset);
    at.OffsetHigh = static_cast<DWORD>(kLockOffset >> 32);
    // Released by the system when the handle closes.
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      return Fail(false, true);
    return true;
  }

  // An open file (opened with FILE_SHARE_DELETE, as all of this layer's
  // are) is removed too: its name goes when its last handle closes, which
  // the engine does right after, before it makes the name anew.
  bool Remove(const std::string& path) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return false;
      return DeleteFileW(wide.c_str()) != 0 || Fail(false);
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  bool Rename(const std::string& from, const std::string& to) override {
    try {
      std::wstring wide_from, wide_to;
      if (!WideName(from, wide_from) || !WideName(to, wide_to)) return false;
      return MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
             Fail(false);
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  // A folder's entries cannot be flushed through a handle as fsync does;
  // NTFS journals them, so a new name survives a crash without it.
  bool SyncFolderOf(const std::string&) override { return true; }

  bool FolderSpace(const std::string& folder, Space& space) override {
    try {
      std::wstring wide;
      if (!WideName(folder, wide)) return false;
      ULARGE_INTEGER free_to_caller{};
      if (!GetDiskFreeSpaceExW(wide.c_str(), &free_to_caller, nullptr, nullptr)) return Fail(false);
      space.free = static_cast<ByteCount>(
          std::min<ULONGLONG>(free_to_caller.QuadPart, static_cast<ULONGLONG>(kLargestCount)));
      // FAT keeps a file's size in 32 bits; NTFS, exFAT and ReFS hold more
      // than a byte count can say.
      // A volume that does not name its file system (Wine's view of some
      // host folders) is taken as unlimited: the writes still decide.
      std::wstring volume(wide.size() + 2, L'\0');
      wchar_t system_name[MAX_PATH + 1] = {};
      if (!GetVolumePathNameW(wide.c_str(), volume.data(), static_cast<DWORD>(volume.size())) ||
          !GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, nullptr, nullptr, system_name,
                                 MAX_PATH + 1))
        system_name[0] = L'\0';
      const std::wstring name = system_name;
      space.largest_file = name == L"FAT" || name == L"FAT32" ? kFatLargestFile : kLargestCount;
      DWORD sectors = 0, sector_bytes = 0, free_clusters = 0, clusters = 0;
      if (GetDiskFreeSpaceW(volume.c_str(), &sectors, &sector_bytes, &free_clusters, &clusters) &&
          sectors > 0 && sector_bytes > 0)
        space.block = static_cast<ByteCount>(sectors) * sector_bytes;
      return true;
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  bool Seek(int fd, ByteCount offset) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    // Only a disk file has positions; a pipe or a device (NUL, CON) has none.
    SetLastError(NO_ERROR);
    if (GetFileType(handle) != FILE_TYPE_DISK)
      return GetLastError() != NO_ERROR ? Fail(false) : FailWith(ESPIPE, false);
    if (offset < 0) return FailWith(EINVAL, false);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) != 0 || Fail(false);
  }

  long WriteAt(int fd, const std::uint8_t* data, std::size_t size, ByteCount offset) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (offset < 0) return FailWith(EINVAL, -1L);
    OVERLAPPED at = At(offset);
    DWORD moved = 0;
    if (!WriteFile(handle, data, Chunk(size), &moved, &at)) return Fail(-1L);
    return static_cast<long>(moved);
  }

  long ReadAt(int fd, std::uint8_t* data, std::size_t size, ByteCount offset) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (offset < 0) return FailWith(EINVAL, -1L);
    OVERLAPPED at = At(offset);
    DWORD moved = 0;
    if (!ReadFile(handle, data, Chunk(size), &moved, &at))
      return GetLastError() == ERROR_HANDLE_EOF ? 0L : Fail(-1L);
    return static_cast<long>(moved);
  }

  bool Sync(int fd) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    return FlushFileBuffers(handle) != 0 || Fail(false);
  }

  bool Truncate(int fd, ByteCount length) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (length < 0) return FailWith(EINVAL, false);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    return SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end) != 0 ||
           Fail(false);
  }

  ByteCount Size(int fd) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) return Fail(ByteCount{-1});
    return static_cast<ByteCount>(size.QuadPart);
  }

  bool Close(int fd) override {
    HANDLE handle = INVALID_HANDLE_VALUE;
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      if (fd < 0 || static_cast<std::size_t>(fd) >= handles_.size() ||
          handles_[static_cast<std::size_t>(fd)] == INVALID_HANDLE_VALUE)
        return FailWith(EBADF, false);
      std::swap(handle, handles_[static_cast<std::size_t>(fd)]);
    }
    return CloseHandle(handle) != 0 || Fail(false);
  }

  bool PathExists(const std::string& path) override {
    DWORD attributes = 0;
    return AttributesFollowed(path, attributes);
  }

  bool IsFolder(const std::string& path) override {
    DWORD attributes = 0;
    return AttributesFollowed(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool SetNormalAttributes(const std::string& path) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return false;
      const DWORD attributes = OwnAttributes(wide);
      if (attributes == INVALID_FILE_ATTRIBUTES) return false;
      if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
      return SetFileAttributesW(wide.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0 ||
             Fail(false);
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  bool CreateEmpty(const std::string& path) override {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return false;
      // CREATE_ALWAYS cuts an existing file to 0 bytes and keeps its name.
      const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return FailWith(OpenErrno(wide, GetLastError()), false);
      return CloseHandle(handle) != 0 || Fail(false);
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  bool MarkSparse(int fd) override {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    return DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) !=
               0 ||
           Fail(false);
  }

 private:
  // Opens for reading and writing, writes going through to the disk, never
  // through a link at the name: the link itself opens and is refused
  // (ELOOP, as O_NOFOLLOW says). Nor does a read-only file open: Windows
  // refuses it even to administrators, and so must wine running as root.
  int OpenWritable(const std::wstring& wide, DWORD disposition) {
    const HANDLE handle = CreateFileW(
        wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, disposition,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return FailWith(OpenErrno(wide, GetLastError()), -1);
    int refusal = 0;
    if (GetFileType(handle) == FILE_TYPE_DISK) {
      BY_HANDLE_FILE_INFORMATION info;
      if (!GetFileInformationByHandle(handle, &info))
        refusal = ErrnoOf(GetLastError());
      else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        refusal = ELOOP;
      else if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        refusal = EACCES;
    }
    if (refusal == 0) return Adopt(handle);
    CloseHandle(handle);
    return FailWith(refusal, -1);
  }

  // Enters the handle in the table: its descriptor, the lowest free one as
  // POSIX hands them out, or -1 (the handle is closed then).
  int Adopt(HANDLE handle) {
    try {
      const std::lock_guard<std::mutex> guard(mutex_);
      const auto free = std::find(handles_.begin(), handles_.end(), INVALID_HANDLE_VALUE);
      if (free != handles_.end()) {
        *free = handle;
        return static_cast<int>(free - handles_.begin());
      }
      if (handles_.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        CloseHandle(handle);
        return FailWith(EMFILE, -1);
      }
      handles_.push_back(handle);
      return static_cast<int>(handles_.size() - 1);
    } catch (const std::bad_alloc&) {
      CloseHandle(handle);
      return FailWith(ENOMEM, -1);
    }
  }

  // The descriptor's handle, or INVALID_HANDLE_VALUE with EBADF.
  HANDLE HandleOf(int fd) {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (fd < 0 || static_cast<std::size_t>(fd) >= handles_.size() ||
        handles_[static_cast<std::size_t>(fd)] == INVALID_HANDLE_VALUE)
      return FailWith(EBADF, INVALID_HANDLE_VALUE);
    return handles_[static_cast<std::size_t>(fd)];
  }

  static OVERLAPPED At(ByteCount offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return at;
  }

  // One call moves at most a DWORD's worth; cBigFiles goes on after a short
  // transfer.
  static DWORD Chunk(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, 0x7FFFFFFF));
  }

  // The attributes of what the name leads to, through links (a dangling
  // link leads nowhere).
  static bool AttributesFollowed(const std::string& path, DWORD& attributes) {
    try {
      std::wstring wide;
      if (!WideName(path, wide)) return false;
      attributes = OwnAttributes(wide);
      if (attributes == INVALID_FILE_ATTRIBUTES) return false;
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
      const HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return Fail(false);
      BY_HANDLE_FILE_INFORMATION info;
      const bool known = GetFileInformationByHandle(handle, &info) != 0;
      if (!known) errno = ErrnoOf(GetLastError());
      CloseHandle(handle);
      if (known) attributes = info.dwFileAttributes;
      return known;
    } catch (const std::bad_alloc&) {
      return FailWith(ENOMEM, false);
    }
  }

  std::mutex mutex_;
  std::vector<HANDLE> handles_;
};

WindowsFileLayer g_windows_layer;

}  // namespace

FileLayer& CurrentFileLayer() {
  FileLayer* layer = CurrentServices().files;
  return layer != nullptr ? *layer : g_windows_layer;
}

}  // namespace torvane
