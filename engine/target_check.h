#pragma once

// The target file read back instead of written: a verifying run hands it
// the bytes a making run would have written, and it compares them with the
// file. It never writes.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/byte_count.h"

namespace torvane::FileCreator::detail {

class TargetChecker {
 public:
  // Opens the existing file for reading; on failure the run has failed with
  // the reason.
  explicit TargetChecker(std::string path);
  ~TargetChecker();
  TargetChecker(const TargetChecker&) = delete;
  TargetChecker& operator=(const TargetChecker&) = delete;

  // Both true when the file was opened; the builders ask a writer's names.
  [[nodiscard]] bool emptied() const { return fd_ >= 0; }
  [[nodiscard]] bool opened() const { return fd_ >= 0; }
  // Bytes compared and found equal so far (nothing is ever gathered).
  ByteCount written() const { return compared_; }
  ByteCount handed() const { return compared_; }

  // Compares `data` with the file at written(). The first difference, or a
  // file that ends before it, fails the run naming the byte offset.
  [[nodiscard]] bool Write(std::span<const std::uint8_t> data);
  [[nodiscard]] bool Flush() { return true; }  // nothing is gathered
  // Reads the whole file, checking what a layout allows without knowing the
  // bytes: its size is `total`, every content byte is one that `allowed`
  // marks, and with `records` every 80-byte record (the last one shorter)
  // ends in CR LF, a last record of one byte being one content byte. The
  // first byte that breaks a rule fails the run, naming its offset.
  [[nodiscard]] bool CheckRules(const std::array<bool, 256>& allowed, bool records,
                                ByteCount total);
  // The file holds exactly written() bytes; otherwise the run fails.
  [[nodiscard]] bool Finish();

 private:
  std::string path_;
  int fd_ = -1;
  ByteCount compared_ = 0;
  std::vector<std::uint8_t> buffer_;
};

// Reads `size` bytes at `offset` of the descriptor through the file layer,
// going on after short reads. Returns the bytes read (fewer at the end of
// the file), or -1 with errno set.
[[nodiscard]] long ReadFully(int fd, std::uint8_t* data, std::size_t size, ByteCount offset);

}  // namespace torvane::FileCreator::detail
