#include "common/yield.h"

namespace torvane {
namespace {

EventPump* g_pump = nullptr;
YieldPolicy g_policy = YieldPolicy::Production();
std::chrono::steady_clock::time_point g_last_pump{};

}  // namespace

EventPump* InstallEventPump(EventPump* pump, YieldPolicy policy) {
  EventPump* previous = g_pump;
  g_pump = pump;
  g_policy = policy;
  g_last_pump = std::chrono::steady_clock::now();
  yield_detail::countdown = policy.steps_per_clock_read ? policy.steps_per_clock_read : 1;
  return previous;
}

namespace yield_detail {

void SlowPath() {
  countdown = g_policy.steps_per_clock_read ? g_policy.steps_per_clock_read : 1;
  if (g_pump == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - g_last_pump < g_policy.interval) return;
  // Stamp before pumping: handlers run nested in here and may yield again.
  g_last_pump = now;
  g_pump->PumpEvents();
}

}  // namespace yield_detail

ScopedEventPump::ScopedEventPump(EventPump* pump, YieldPolicy policy)
    : previous_(InstallEventPump(pump, policy)) {}

ScopedEventPump::~ScopedEventPump() { InstallEventPump(previous_, YieldPolicy::Production()); }

}  // namespace torvane
