// The progress bar's text and value during a run.

#include <algorithm>
#include <cmath>

#include "common/error_box.h"
#include "common/number_locale.h"
#include "common/services.h"
#include "engine/file_creator.h"
#include "engine/run_state.h"

namespace torvane::FileCreator {

using detail::g_run;

void ShowProgress(ByteCount written) {
  RunView* view = CurrentServices().view;
  if (view == nullptr) return;
  std::string text = FormatThousands(written);
  text.append(" / ").append(FormatThousands(g_run.total_bytes)).append(" bytes");
  view->SetProgressText(text);
  view->SetProgressBytes(written, g_run.total_bytes);
  CalcProgress(static_cast<double>(written));
}

// The percentage done, raised to the next whole number when it has a
// fraction: 1 byte of 1,000,000 shows 1, and anything above 99 % shows 100.
std::int16_t CalcProgress(double current) {
  ErrorTrap trap("FileCreator", "CalcProgress");
  const ByteCount total = g_run.total_bytes;
  // NaN counts as nothing written rather than reaching an integer cast.
  if (!(current < 0.0 || current > 0.0) || total == 0) return 1;
  double percent = 0;
  trap(10, [&] {
    const double whole = static_cast<double>(total);
    if (current >= whole) current = whole;
    const double left = whole - std::nearbyint(current);
    percent = 100.0 - std::floor(100.0 * left / whole);
  });
  // Clamped before the cast, so a negative count cannot overflow it.
  std::int16_t value = 0;
  trap(20, [&] { value = static_cast<std::int16_t>(std::clamp(percent, 0.0, 100.0)); });
  trap(30, [&] {
    if (RunView* view = CurrentServices().view) view->SetProgressValue(value);
  });
  return 0;
}

}  // namespace torvane::FileCreator
