#pragma once

#include <chrono>
#include <cstdint>

namespace torvane {

// The monotonic clock: time since an arbitrary start, never going back.
// CurrentServices().clock; the system's steady clock when none is set.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::nanoseconds Now() = 0;
};

// CurrentServices().clock's reading, else the system's steady clock's.
std::chrono::nanoseconds MonotonicNow();

// Milliseconds of the monotonic clock, wrapping at 32 bits, as the system's
// tick counter gives them.
std::uint32_t GetTickCount();

}  // namespace torvane
