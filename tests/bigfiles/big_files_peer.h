#pragma once

#include "bigfiles/big_files.h"

namespace torvane {

// Reaches the private helpers of cBigFiles whose results are worth pinning.
class cBigFilesTestPeer {
 public:
  static cBigFiles::Words Split(ByteCount count) { return cBigFiles::SplitByteCount(count); }
  static ByteCount Join(cBigFiles::Words words) {
    return cBigFiles::JoinByteCount(words.low, words.high);
  }
  static std::string Hex(ByteCount value) { return cBigFiles::LargeNumberToHex(value); }
};

}  // namespace torvane
