#pragma once

// The target file as both builders write it.

#include <cstdint>
#include <span>
#include <string>

#include "bigfiles/big_files.h"
#include "common/byte_count.h"

namespace torvane::FileCreator::detail {

// Creates the target, or cuts an existing one to 0 bytes. On failure the run
// fails with the system's reason.
bool EmptyTarget(const std::string& path);

// Empties the target and opens it; writes whole records or chunks one after
// the other; closes it when it goes out of scope. Emptying first makes a
// completed run leave exactly TotalBytes, whatever was there before.
class TargetWriter {
 public:
  explicit TargetWriter(std::string path);
  ~TargetWriter();
  TargetWriter(const TargetWriter&) = delete;
  TargetWriter& operator=(const TargetWriter&) = delete;

  // False when the target could not be emptied: the run has failed and
  // nothing else is to be done with the file.
  bool emptied() const { return emptied_; }
  // False when it could not be opened (StopFlag is then set).
  bool opened() const { return opened_; }
  // Bytes that writes reporting success have put at the start of the file.
  ByteCount written() const { return written_; }

  // Writes `data` at written(). A write that reports false (a failure, or a
  // Stop during the write's own yields, which can come after the bytes are
  // on the disk) sets StopFlag, and the file is cut back to written(): it
  // then holds exactly the writes the run counted, each whole, even when the
  // failed write left part of itself behind.
  bool Write(std::span<const std::uint8_t> data);

 private:
  void KeepConfirmedWrites();

  std::string path_;
  cBigFiles files_;
  FileHandle handle_ = 0;
  bool emptied_ = false;
  bool opened_ = false;
  ByteCount written_ = 0;
};

}  // namespace torvane::FileCreator::detail
