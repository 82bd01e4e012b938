#include "bigfiles/big_files.h"

#include <cerrno>

#include "bigfiles/file_layer.h"
#include "bigfiles/handle_registry.h"
#include "bigfiles/member_faults.h"
#include "common/stop_flag.h"
#include "common/yield.h"

namespace torvane {
namespace {

using bigfiles_detail::Guarded;
using bigfiles_detail::HandleRegistry;
using bigfiles_detail::MemberFault;
using bigfiles_detail::ReportFailure;

// The largest buffer one call moves: its length travels as a signed 32-bit value.
constexpr std::size_t kMaxTransfer = 2147483647;

// Opens through the layer and registers the descriptor: a handle > 0, or -1.
FileHandle OpenHandle(const std::string& strFileName, FileLayer::Access access) {
  FileLayer& layer = CurrentFileLayer();
  const int descriptor = layer.Open(strFileName, access);
  if (descriptor < 0) return -1;
  const FileHandle handle = HandleRegistry::Register(descriptor);
  // Never handed out, so nothing was written through it: the open has failed
  // whatever the close answers.
  if (handle < 0) (void)layer.Close(descriptor);
  return handle;
}

bool OpenFile(cBigFiles& files, const std::string& strFileName, FileHandle& hFile,
              FileLayer::Access access) {
  FileHandle opened = 0;
  return Guarded(
      [&] {
        Yield();
        if (StopFlag) return false;
        bigfiles_detail::CheckFileName(strFileName);
        FileLayer& layer = CurrentFileLayer();
        // A missing file is not an error of this member: the caller decides
        // what to tell the user, and the handle variable keeps its value.
        if (access == FileLayer::Access::ReadOnlyExisting && !layer.PathExists(strFileName))
          return false;
        hFile = opened = OpenHandle(strFileName, access);
        if (hFile < 1) return false;
        // Transfers name their own offsets; this positioning only checks in
        // with the file as a fresh open would, and its answer changes nothing.
        (void)layer.Seek(HandleRegistry::Descriptor(hFile), 0);
        Yield();
        if (StopFlag) {
          files.API_CloseFile(hFile);
          return false;
        }
        return true;
      },
      [&] {
        if (opened > 0) files.API_CloseFile(hFile);
      });
}

// Writes all `size` bytes, going on after partial writes and interruptions.
bool WriteAll(FileLayer& layer, int fd, const std::uint8_t* data, std::size_t size,
              ByteCount offset) {
  while (size > 0) {
    errno = 0;
    const long moved = layer.WriteAt(fd, data, size, offset);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0 || static_cast<std::size_t>(moved) > size) return false;
    data += moved;
    size -= static_cast<std::size_t>(moved);
    offset += moved;
  }
  return true;
}

// Reads until the buffer is full or the file ends; the elements past the end
// of the file keep their values.
bool ReadAll(FileLayer& layer, int fd, std::uint8_t* data, std::size_t size, ByteCount offset) {
  while (size > 0) {
    errno = 0;
    const long moved = layer.ReadAt(fd, data, size, offset);
    if (moved < 0 && errno == EINTR) continue;
    if (moved == 0) return true;
    if (moved < 0 || static_cast<std::size_t>(moved) > size) return false;
    data += moved;
    size -= static_cast<std::size_t>(moved);
    offset += moved;
  }
  return true;
}

}  // namespace

bool cBigFiles::OpenReadOnly(const std::string& strFileName, FileHandle& hFile) {
  return OpenFile(*this, strFileName, hFile, FileLayer::Access::ReadOnlyExisting);
}

bool cBigFiles::OpenReadWrite(const std::string& strFileName, FileHandle& hFile) {
  // Every failed open leaves -1, refused names and stops included, so that
  // the caller's variable never keeps a handle from before.
  if (OpenFile(*this, strFileName, hFile, FileLayer::Access::ReadWriteAlways)) return true;
  hFile = -1;
  return false;
}

bool cBigFiles::API_ReadFile(FileHandle hFile, ByteCount curPosition,
                             std::vector<std::uint8_t>& abytData) {
  static constexpr TransferKind kRead{"API_ReadFile", "Failed to set read file pointer.",
                                      "Failed to read file.", false};
  return TransferAt(hFile, curPosition, abytData.size(), kRead, [&](int fd, ByteCount offset) {
    return ReadAll(CurrentFileLayer(), fd, abytData.data(), abytData.size(), offset);
  });
}

bool cBigFiles::API_WriteFile(FileHandle hFile, ByteCount curPosition,
                              std::span<const std::uint8_t> abytData) {
  return WriteBytes(hFile, curPosition, abytData, true);
}

bool cBigFiles::API_WriteFileUnsynced(FileHandle hFile, ByteCount curPosition,
                                      std::span<const std::uint8_t> abytData) {
  return WriteBytes(hFile, curPosition, abytData, false);
}

bool cBigFiles::WriteBytes(FileHandle hFile, ByteCount curPosition,
                           std::span<const std::uint8_t> abytData, bool flush) {
  // Both report as API_WriteFile: to the user they are the same write.
  const TransferKind kind{"API_WriteFile", "Failed to set write file pointer.",
                          "Failed to write to file.", flush};
  return TransferAt(hFile, curPosition, abytData.size(), kind, [&](int fd, ByteCount offset) {
    return WriteAll(CurrentFileLayer(), fd, abytData.data(), abytData.size(), offset);
  });
}

// Looks at StopFlag after every yield. A stop or a failure after the first
// look closes this call's copy of the handle; the caller's variable keeps the
// old value, which the registry no longer knows.
bool cBigFiles::TransferAt(FileHandle hFile, ByteCount curPosition, std::size_t lngLength,
                           const TransferKind& kind,
                           const std::function<bool(int, ByteCount)>& move_all) {
  return Guarded(
      [&] {
        Yield();
        if (StopFlag) return false;  // the file stays open
        if (lngLength == 0) throw MemberFault("The data buffer has no elements.");
        if (lngLength > kMaxTransfer)
          throw MemberFault("The data buffer holds more than 2,147,483,647 bytes.");
        if (curPosition < 0) throw MemberFault("The file position is negative.");

        bool result = false;
        const Words words = SplitByteCount(curPosition);
        Yield();
        if (!StopFlag) {
          FileLayer& layer = CurrentFileLayer();
          const ByteCount offset = JoinByteCount(words.low, words.high);
          const int fd = HandleRegistry::Descriptor(hFile);
          errno = fd >= 0 ? 0 : EBADF;
          const bool positioned = fd >= 0 && layer.Seek(fd, offset);
          // The yield may run anything; the reason is the positioning's.
          const int seek_error = positioned ? 0 : errno;
          Yield();
          if (StopFlag) {
            // Given up before any byte moved.
          } else if (!positioned) {
            ReportFailure(kind.seek_failed, kind.member, seek_error);
            StopFlag = true;
          } else if (!move_all(fd, offset) || (kind.flushes && !layer.Sync(fd))) {
            // A write that did not reach stable storage has failed too.
            ReportFailure(kind.transfer_failed, kind.member, errno);
            StopFlag = true;
          } else {
            if (kind.flushes) Yield();
            result = true;
          }
        }
        Yield();
        if (StopFlag) {
          API_CloseFile(hFile);
          result = false;
        }
        return result;
      },
      [&] { API_CloseFile(hFile); });
}

void cBigFiles::API_SetEndOfFile(FileHandle hFile, ByteCount curPosition) {
  Guarded(
      [&] {
        if (curPosition < 0) throw MemberFault("The file position is negative.");
        FileLayer& layer = CurrentFileLayer();
        const Words words = SplitByteCount(curPosition);
        const ByteCount offset = JoinByteCount(words.low, words.high);
        const int fd = HandleRegistry::Descriptor(hFile);
        if (fd < 0 || !layer.Seek(fd, offset)) {
          ReportFailure("Failed to set end of file pointer.", "API_SetEndOfFile",
                        fd < 0 ? EBADF : errno);
          return;
        }
        // This member answers nothing by design; a caller that must know
        // measures the file afterwards (CalcFileSize, or the layer's Size).
        (void)layer.Truncate(fd, offset);
      },
      [] {});
}

void cBigFiles::API_CloseFile(FileHandle& hFile) {
  if (hFile <= 0) return;
  // A handle already closed by a failed or stopped transfer is unknown to
  // the registry, so closing it again touches no other file.
  const int fd = HandleRegistry::Release(hFile);
  // The descriptor is gone whatever close answers, and every write through
  // it was synced, by API_WriteFile or by the caller of the unsynced write.
  if (fd >= 0) (void)CurrentFileLayer().Close(fd);
  hFile = 0;
}

bool cBigFiles::LoadWithNullValues(FileHandle hFile, ByteCount curFilesize) {
  if (hFile < 1 || curFilesize < 0) return false;
  const int fd = HandleRegistry::Descriptor(hFile);
  if (fd < 0) return false;
  FileLayer& layer = CurrentFileLayer();
  const Words words = SplitByteCount(curFilesize);
  const ByteCount length = JoinByteCount(words.low, words.high);
  if (!layer.Seek(fd, length)) return false;
  // The file system fills the added region with zeros without storing them
  // where the file is sparse. Where it cannot be (FAT), the zeros are
  // stored: the same file, only bigger on the disk, so that is no failure.
  if (length > layer.Size(fd)) (void)layer.MarkSparse(fd);
  return layer.Truncate(fd, length);
}

cBigFiles::Words cBigFiles::SplitByteCount(ByteCount curPosition) {
  const auto bits = static_cast<std::uint64_t>(curPosition);
  return {static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu)),
          static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32))};
}

ByteCount cBigFiles::JoinByteCount(std::int32_t low, std::int32_t high) {
  // The low word is an unsigned bit pattern: a negative one counts as itself plus 2^32.
  return static_cast<ByteCount>(high) * 4294967296LL +
         static_cast<ByteCount>(static_cast<std::uint32_t>(low));
}

bool cBigFiles::PathExists(const std::string& path) { return CurrentFileLayer().PathExists(path); }

int DescriptorOf(FileHandle hFile) { return HandleRegistry::Descriptor(hFile); }

}  // namespace torvane
