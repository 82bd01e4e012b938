#pragma once

#include <cstdint>

namespace torvane {

// Milliseconds since an arbitrary start, wrapping at 32 bits, as the
// system's tick counter gives them.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual std::uint32_t Ticks() = 0;
};

std::uint32_t GetTickCount();

// Replaces the tick counter (nullptr: the monotonic clock). Returns the previous one.
TickSource* InstallTickSource(TickSource* source);

}  // namespace torvane
