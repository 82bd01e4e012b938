#include "common/yield.h"

#include "common/clock.h"
#include "common/services.h"

namespace torvane {
namespace {

std::chrono::nanoseconds g_last_pump{};

std::uint32_t StepsPerClockRead(const YieldPolicy& policy) {
  return policy.steps_per_clock_read ? policy.steps_per_clock_read : 1;
}

}  // namespace

namespace yield_detail {

void RestartTimer() {
  const Services& services = CurrentServices();
  countdown = StepsPerClockRead(services.yield_policy);
  // Without a pump, or with one for every yield, the clock has nothing to
  // decide: a test's clock is then never read by a yield.
  if (services.pump != nullptr && services.yield_policy.interval.count() > 0)
    g_last_pump = MonotonicNow();
}

void SlowPath() {
  ++slow_paths;
  const Services& services = CurrentServices();
  countdown = StepsPerClockRead(services.yield_policy);
  if (services.pump == nullptr) return;
  if (services.yield_policy.interval.count() > 0) {
    const auto now = MonotonicNow();
    if (now - g_last_pump < services.yield_policy.interval) return;
    // Stamp before pumping: handlers run nested in here and may yield again.
    g_last_pump = now;
  }
  services.pump->PumpEvents();
}

}  // namespace yield_detail

}  // namespace torvane
