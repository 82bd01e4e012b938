#include "common/clock.h"

#include <chrono>

namespace torvane {
namespace {
TickSource* g_ticks = nullptr;
}

std::uint32_t GetTickCount() {
  if (g_ticks != nullptr) return g_ticks->Ticks();
  const auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_boot).count());
}

TickSource* InstallTickSource(TickSource* source) {
  TickSource* previous = g_ticks;
  g_ticks = source;
  return previous;
}

}  // namespace torvane
