#pragma once

// The engine's process-wide state, shared by the files of the module. Only
// the UI thread touches it, and only one run owns it at a time.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/byte_count.h"
#include "common/clock.h"
#include "common/job.h"
#include "common/yield.h"
#include "engine/file_creator.h"

namespace torvane::FileCreator::detail {

// What one run works with and leaves behind for the front ends' queries.
struct RunState {
  RunOptions options;
  ByteCount total_bytes = 0;
  std::string job_file_name;
  std::string job_file_path;
  std::string saved_caption;
  bool running = false;         // from a taken start until after "Done."
  bool stop_requested = false;  // a Stop click or RequestStop during this run
  bool failed = false;          // the engine reported an error in this run
  ByteCount bytes_kept = -1;    // what the run's file held at its end; -1 none
  bool differs = false;         // a verifying run read the file and found it otherwise
  std::string checksum;         // the SHA-256 written beside the file, in hex
  RunOutcome last_outcome = RunOutcome::None;
};

// The one run state: the click resets it, the builders and checks fill it.
inline RunState g_run;

// The engine's report of an error that ends the run: a message box with the
// description (application title), StopFlag set, the run counted as failed.
// `system_error` (errno, 0 for none) goes along as the reason for front ends
// that show one.
void FailRun(std::string_view description, int system_error = 0);

// Paces the periodic progress updates: shown on the first check of a run and
// then whenever more than `interval_ms` passed since the last update (the
// tick counter read again right after it). Unsigned differences keep it
// right across the wrap of the 32-bit tick counter.
class ProgressPacer {
 public:
  explicit ProgressPacer(std::uint32_t interval_ms) : interval_ms_(interval_ms) {}
  void ShowIfDue(ByteCount written) {
    // Between two slow yields (at most ~1,000 steps) too little time passes
    // to matter, and a clock read for every record costs a tenth of a run.
    if (!first_ && YieldEpoch() == epoch_) return;
    epoch_ = YieldEpoch();
    if (!first_ && GetTickCount() - last_ <= interval_ms_) return;
    ShowProgress(written);
    first_ = false;
    last_ = GetTickCount();
  }

 private:
  std::uint32_t interval_ms_;
  bool first_ = true;
  std::uint32_t last_ = 0;
  std::uint32_t epoch_ = 0;
};

}  // namespace torvane::FileCreator::detail
