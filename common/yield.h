#pragma once

#include <chrono>
#include <cstdint>

namespace torvane {

// Runs the window's pending events (the Stop click above all) and returns.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // May run any handler, the Stop click included, and so set StopFlag.
  virtual void PumpEvents() = 0;
};

// How often a Yield() really pumps. Pumping costs about a microsecond even
// with nothing pending, so production pumps only when `interval` has passed,
// and reads the clock only every `steps_per_clock_read` yields.
struct YieldPolicy {
  std::uint32_t steps_per_clock_read;
  std::chrono::nanoseconds interval;

  static constexpr YieldPolicy Production() { return {1024, std::chrono::milliseconds(10)}; }
  // Every Yield() calls the pump: tests use it so that each yield point can
  // be reached by a scripted pump.
  static constexpr YieldPolicy EveryYield() { return {1, std::chrono::nanoseconds(0)}; }
};

// The pump and its policy are CurrentServices().pump and .yield_policy.

namespace yield_detail {
inline std::uint32_t countdown = 1;
// Counts the slow paths taken.
inline std::uint32_t slow_paths = 0;
// Restarts the count and pumps when the policy's interval has passed.
void SlowPath();
// A fresh count and interval under the services now in force; called
// whenever they change.
void RestartTimer();
}  // namespace yield_detail

// One yield point. Inlined to a counter step: the clock and the pump are only
// touched on the slow path.
inline void Yield() {
  if (--yield_detail::countdown == 0) [[unlikely]]
    yield_detail::SlowPath();
}

// A yield that reads the clock, and pumps when the policy's interval has
// passed, however many yields are left before the next read: for a loop
// that waits on another thread and so counts few yields.
inline void YieldNow() { yield_detail::SlowPath(); }

// Changes whenever a yield may have read the clock or pumped: loops that
// pace themselves by the clock need not read it again before it changes.
[[nodiscard]] inline std::uint32_t YieldEpoch() { return yield_detail::slow_paths; }

// Takes the budget of `steps` yields at once when no clock read (and so no
// pump) can fall inside them, and returns true. Returns false, taking
// nothing, when the caller must yield step by step. Under EveryYield() it
// always returns false, so tests still see every yield.
[[nodiscard]] inline bool TryYieldBlock(std::uint32_t steps) {
  if (yield_detail::countdown > steps) {
    yield_detail::countdown -= steps;
    return true;
  }
  return false;
}

// For loops of `per_item` yields an item: takes the yields of as many whole
// items, up to `items`, as fit before the next clock read, and returns how
// many (0 under EveryYield(), where each yield must be seen). No pump can
// fall among the granted items, so StopFlag cannot change during them.
[[nodiscard]] inline std::uint32_t TakeYieldBudget(std::uint32_t items,
                                                   std::uint32_t per_item = 1) {
  const std::uint32_t spare = yield_detail::countdown - 1;
  const std::uint32_t granted = items < spare / per_item ? items : spare / per_item;
  yield_detail::countdown -= granted * per_item;
  return granted;
}

}  // namespace torvane
