#pragma once

// What both builders do around their write loops.

#include <exception>

#include "common/error_box.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/run_state.h"
#include "engine/target_file.h"
#include "random/prng.h"

namespace torvane::FileCreator::detail {

// A Stop already pending leaves the file untouched. Otherwise the run gets
// its own random-data object (which clears StopFlag; nothing has yielded
// since the test, so no Stop is lost) and its target, emptied and opened;
// `loop(prng, target)` writes and returns the builder's result. A run that
// completed is done only when its file is still in place and whole. The file
// is closed whatever happens, and an unexpected error fails the run with its
// description.
template <class Loop>
bool RunBuilder(Loop&& loop) {
  Yield();
  if (StopFlag) return false;
  try {
    cPrng prng;
    prng.StopProcessing(StopFlag);
    TargetWriter target(g_run.job_file_path);
    if (!target.emptied()) return false;
    const bool completed = loop(prng, target);
    g_run.bytes_kept = target.held();
    return completed && target.ConfirmInPlace();
  } catch (...) {
    FailRun(DescribeException(std::current_exception()));
    return false;
  }
}

}  // namespace torvane::FileCreator::detail
