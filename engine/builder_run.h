#pragma once

// What both builders do around their write loops.

#include <exception>

#include "common/error_box.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/run_state.h"
#include "engine/target_check.h"
#include "engine/target_file.h"
#include "random/prng.h"

namespace torvane::FileCreator::detail {

// A Stop already pending leaves the file untouched. Otherwise the run gets
// its own random-data object (which clears StopFlag; nothing has yielded
// since the test, so no Stop is lost) and its target: emptied and opened for
// writing, or, in a verifying run, opened for reading and compared.
// `loop(prng, target)` hands over the bytes and returns the builder's
// result; `gather`: it hands over single records, which the sync mode may
// gather into larger writes. A run that went to its end is done only when
// its target finishes (synced, in place, whole) and its checksum, if asked,
// is in place. The file is closed whatever
// happens, and an unexpected error fails the run with its description.
template <class Loop>
[[nodiscard]] bool RunBuilder(bool gather, Loop&& loop) {
  Yield();
  if (StopFlag) return false;
  try {
    cPrng prng;
    prng.StopProcessing(StopFlag);
    if (g_run.options.verify != VerifyMode::None) {
      TargetChecker target(g_run.job_file_path);
      if (!target.emptied()) return false;
      return loop(prng, target) && target.Finish();
    }
    if (g_run.options.sink != nullptr) {
      StreamWriter target(*g_run.options.sink, gather);
      const bool completed = loop(prng, target) && target.Finish();
      g_run.bytes_kept = target.held();
      return completed;
    }
    TargetWriter target(g_run.job_file_path, g_run.options, gather);
    if (!target.emptied()) return false;
    const bool completed = loop(prng, target) && target.Finish();
    g_run.bytes_kept = target.held();
    // Only a finished file gets a checksum: one of a part would pass a check.
    return completed && target.WriteChecksum();
  } catch (...) {
    FailRun(DescribeException(std::current_exception()));
    return false;
  }
}

}  // namespace torvane::FileCreator::detail
