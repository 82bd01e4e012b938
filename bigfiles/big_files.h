#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/byte_count.h"

namespace torvane {

// A file handle as callers keep it: > 0 open, 0 closed, -1 a failed open.
using FileHandle = std::int32_t;

// Opens, reads, writes, cuts and closes files at explicit 64-bit positions.
// The object has no state of its own; the caller keeps the handle. Reads,
// writes and opens yield and honour StopFlag (see each member).
class cBigFiles {
 public:
  // Opens an existing file for reading: true with hFile > 0. A set StopFlag,
  // a missing file or a refused name (shown in a box) returns false with
  // hFile as it was; a failed open leaves -1; a Stop during the yield after
  // the open closes the file again (hFile 0). Never sets StopFlag.
  [[nodiscard]] bool OpenReadOnly(const std::string& strFileName, FileHandle& hFile);
  // Opens for reading and writing, creating the file (never through a
  // symbolic link), as OpenReadOnly otherwise; every failure, refused names
  // and stops included, leaves -1 in hFile. Never sets StopFlag.
  [[nodiscard]] bool OpenReadWrite(const std::string& strFileName, FileHandle& hFile);
  // The file's size in curFilesize (and, if asked, size x 8 in upper-case hex
  // digits); -1 when it is missing, unreadable or a Stop came during the
  // open; 0 and "" after an unexpected error, shown in a box. A set StopFlag
  // at the call leaves both as they were. Never sets StopFlag.
  void CalcFileSize(const std::string& strFileName, ByteCount& curFilesize,
                    std::string* strBitsInHex = nullptr);
  // The three transfers move the whole buffer at curPosition or return
  // false. Each yields and looks at StopFlag before and after each system
  // call; a set StopFlag at the call returns false with the file open. A
  // failed positioning or transfer shows a box with the system's reason and
  // sets StopFlag. On any failure or stop after that first look this call's
  // copy of the handle is closed: the caller's hFile then reaches no file.
  // An empty buffer, one beyond 2^31 - 1 bytes or a negative position is
  // refused with a box (and the handle closed) without touching StopFlag.
  //
  // Reads into the buffer; elements past the end of the file keep their values.
  [[nodiscard]] bool API_ReadFile(FileHandle hFile, ByteCount curPosition,
                                  std::vector<std::uint8_t>& abytData);
  // When this returns true the whole buffer is on stable storage at
  // curPosition; a write that cannot be synced has failed.
  [[nodiscard]] bool API_WriteFile(FileHandle hFile, ByteCount curPosition,
                                   std::span<const std::uint8_t> abytData);
  // As API_WriteFile, without the flush: the bytes are in the file but not
  // yet on stable storage. For a caller that syncs the file once at its end.
  [[nodiscard]] bool API_WriteFileUnsynced(FileHandle hFile, ByteCount curPosition,
                                           std::span<const std::uint8_t> abytData);
  // Cuts or extends the file to curPosition bytes. A negative position, an
  // unknown handle or a failed positioning shows a box; the cut itself
  // reports nothing (measure the file to know). Never yields,
  // never touches StopFlag, leaves the handle open.
  void API_SetEndOfFile(FileHandle hFile, ByteCount curPosition);
  // Closes an open handle and sets hFile to 0; one a failed transfer closed
  // already is only reset. hFile <= 0 is left alone. Never fails or yields.
  void API_CloseFile(FileHandle& hFile);
  // Makes the file exactly curFilesize bytes without writing them (an old
  // file is emptied first), synced, and closes it; with blnVerify the size
  // is measured again. False on a refused name or size (a box, nothing
  // touched), a failure or a Stop. An old file is emptied even when StopFlag
  // was set at the call. Never sets StopFlag.
  [[nodiscard]] bool CreateBigFile(const std::string& strFileName, ByteCount curFilesize,
                                   bool blnVerify = false);
  // Sets the open file's length to curFilesize; the file system fills what
  // is added with zeros, storing none where it can. False for a bad handle
  // or size, or a failed system call (errno set); no box, no yield, no StopFlag.
  [[nodiscard]] bool LoadWithNullValues(FileHandle hFile, ByteCount curFilesize);

  // The two 32-bit words of a position, as the low-level interface carries them.
  struct Words {
    std::int32_t low;
    std::int32_t high;
  };

 private:
  static Words SplitByteCount(ByteCount curPosition);
  static ByteCount JoinByteCount(std::int32_t low, std::int32_t high);
  static bool PathExists(const std::string& path);
  static std::string LargeNumberToHex(ByteCount value);

  // API_ReadFile and API_WriteFile are twins: one sequence of yields, checks
  // and messages, differing only in what moves the bytes.
  struct TransferKind {
    const char* member;
    const char* seek_failed;
    const char* transfer_failed;
    bool flushes;
  };
  bool WriteBytes(FileHandle hFile, ByteCount curPosition, std::span<const std::uint8_t> abytData,
                  bool flush);
  // `move_all` moves the whole buffer at the offset, or returns false.
  bool TransferAt(FileHandle hFile, ByteCount curPosition, std::size_t lngLength,
                  const TransferKind& kind, const std::function<bool(int, ByteCount)>& move_all);
};

// The file layer's descriptor behind an open handle, or -1: for a caller that
// checks through the layer which file a handle reaches.
[[nodiscard]] int DescriptorOf(FileHandle hFile);

}  // namespace torvane
