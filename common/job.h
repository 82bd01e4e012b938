#pragma once

#include <string>
#include <string_view>

#include "common/byte_count.h"

namespace torvane {

enum class CaseConversion { None, Lower, Upper };

// One job as the window (or the command line) offers it. The engine takes a
// copy when the job starts; the texts are the boxes' texts as typed, which the
// engine converts itself so that a value that does not fit is its error.
struct JobSettings {
  std::string OutputFolder;
  bool UsePresetSize = true;
  int PresetIndex = 0;  // row of the preset list, 0 to 23
  std::string CustomLength;
  int CustomUnit =
      0;  // 0 bytes, 1 kilobytes, 2 megabytes, 3 gigabytes, 4 terabytes (not in the window)
  std::string LowText = "0";
  std::string HighText = "255";
  bool FixedLength = true;
  bool HexPairs = true;
  CaseConversion Case = CaseConversion::None;
};

// Where a job comes from. Two of its values are read live while a run goes
// on, so a change made in the window takes effect from the next byte/record.
class JobSource {
 public:
  virtual ~JobSource() = default;
  virtual std::string OutputFolder() = 0;          // read at the click
  virtual JobSettings ReadJob() = 0;               // read when the job starts
  virtual bool HexPairs() = 0;                     // read once per source byte
  virtual CaseConversion CaseConversionNow() = 0;  // read once per record
};

enum class MousePointer { Default, Hourglass };

// The parts of the window that a run drives: the Create/Stop button's
// caption, the pointer and the progress bar (value 0 to 100 and its text).
class RunView {
 public:
  virtual ~RunView() = default;
  virtual std::string ButtonCaption() = 0;
  virtual void SetButtonCaption(std::string_view caption) = 0;
  virtual void SetMousePointer(MousePointer pointer) = 0;
  virtual void SetProgressValue(int percent) = 0;
  virtual void SetProgressText(std::string_view text) = 0;
  // The counts behind each progress update, for views that show more than
  // the text (a rate, the time left). Called right after the text is set.
  virtual void SetProgressBytes(ByteCount written, ByteCount total) {
    (void)written;
    (void)total;
  }
};

}  // namespace torvane
