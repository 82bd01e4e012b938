#pragma once

// Command-line runs (RunOptions::overlap) on two threads: a maker thread
// draws and shapes the next writes into a ring of a few chunks while the UI
// thread writes the ones before. The bytes, their order and the writes are
// those of the single-threaded builders, so a seed makes the same file
// either way. Only the UI thread writes, yields and looks at StopFlag; the
// maker is joined before the run ends.

#include <cstdint>
#include <optional>

namespace torvane::FileCreator::detail {

// The builder's run on two threads, with the builder's result; nothing when
// the run options do not ask for it or the job is not one it makes (records
// synced one by one, a range that a box must refuse or that holds no byte
// value), and the builder then runs as the window runs it.
[[nodiscard]] std::optional<bool> BuildOverlapped(bool fixed, std::int16_t low, std::int16_t high);

}  // namespace torvane::FileCreator::detail
