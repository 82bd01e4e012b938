#pragma once

namespace torvane {

// The one process-wide stop request. Cleared when a run starts (and when a
// cPrng is made); set by the Stop click and by every failure that ends a run.
// Only the UI thread touches it, and long loops test it right after a Yield().
inline bool StopFlag = false;

}  // namespace torvane
