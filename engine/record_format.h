#pragma once

// The fixed-length layout's records made in one pass, for runs whose look
// cannot change while they go on (the command line's): hex pairs from a
// byte-to-two-digits table with the case already applied, or the bytes
// themselves through the case table, then CR LF. The window's
// FmtOutputRecord keeps its per-byte yields and live choices.

#include <array>
#include <cstdint>
#include <span>

#include "common/job.h"

namespace torvane::FileCreator {

class RecordFormat {
 public:
  RecordFormat(bool hex, CaseConversion letters);
  // Writes to `out` the record that FmtOutputRecord(out.size(), ...) makes
  // with a line end from the out.size() pool bytes at `source`: a record of
  // one byte is one content byte, and hex shows only the first half of its
  // source bytes.
  void Format(const std::uint8_t* source, std::span<std::uint8_t> out) const;

 private:
  bool hex_;
  bool converts_;                                       // binary bytes go through case_
  std::array<std::array<std::uint8_t, 2>, 256> pairs_;  // a byte's two digits, case applied
  std::array<std::uint8_t, 256> case_;
};

}  // namespace torvane::FileCreator
