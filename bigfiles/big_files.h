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
  [[nodiscard]] bool OpenReadOnly(const std::string& strFileName, FileHandle& hFile);
  [[nodiscard]] bool OpenReadWrite(const std::string& strFileName, FileHandle& hFile);
  void CalcFileSize(const std::string& strFileName, ByteCount& curFilesize,
                    std::string* strBitsInHex = nullptr);
  [[nodiscard]] bool API_ReadFile(FileHandle hFile, ByteCount curPosition,
                                  std::vector<std::uint8_t>& abytData);
  // When this returns true the whole buffer is on stable storage at curPosition.
  [[nodiscard]] bool API_WriteFile(FileHandle hFile, ByteCount curPosition,
                                   std::span<const std::uint8_t> abytData);
  // As API_WriteFile, without the flush: the bytes are in the file but not
  // yet on stable storage. For a caller that syncs the file once at its end.
  [[nodiscard]] bool API_WriteFileUnsynced(FileHandle hFile, ByteCount curPosition,
                                           std::span<const std::uint8_t> abytData);
  void API_SetEndOfFile(FileHandle hFile, ByteCount curPosition);
  void API_CloseFile(FileHandle& hFile);
  [[nodiscard]] bool CreateBigFile(const std::string& strFileName, ByteCount curFilesize,
                                   bool blnVerify = false);
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
