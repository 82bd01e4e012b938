#include "common/services.h"

#include <cstdio>
#include <cstdlib>

namespace torvane {
namespace {

const Services kDefaults;
const Services* g_current = &kDefaults;

}  // namespace

const Services& CurrentServices() { return *g_current; }

void ScopedServices::Enter() {
  previous_ = g_current;
  g_current = &services_;
  yield_detail::RestartTimer();
}

ScopedServices::~ScopedServices() {
  // A scope that ended before one begun inside it would leave that one's
  // doubles in force after they are gone.
  if (g_current != &services_) {
    std::fputs("ScopedServices ended out of order\n", stderr);
    std::abort();
  }
  g_current = previous_;
  yield_detail::RestartTimer();
}

}  // namespace torvane
