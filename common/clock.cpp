#include "common/clock.h"

#include "common/services.h"

namespace torvane {

std::chrono::nanoseconds MonotonicNow() {
  if (Clock* clock = CurrentServices().clock) return clock->Now();
  return std::chrono::steady_clock::now().time_since_epoch();
}

std::uint32_t GetTickCount() {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(MonotonicNow()).count());
}

}  // namespace torvane
