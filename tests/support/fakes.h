#pragma once

// Test doubles for the outside world of the core: they record what a user
// would have seen and can press Stop at a chosen yield.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/message_box.h"
#include "common/services.h"
#include "common/stop_flag.h"
#include "common/yield.h"

namespace torvane::testing {

struct ShownBox {
  std::string text;
  MsgIcon icon;
  std::string title;
};

// Records every box instead of showing it. In force for its lifetime.
class RecordingMessageBoxes : public MessageBoxes {
 public:
  void Show(std::string_view text, MsgIcon icon, std::string_view title) override {
    shown.push_back({std::string(text), icon, std::string(title)});
    if (on_show) on_show(shown.back());
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : shown) texts.push_back(box.text);
    return texts;
  }

  std::vector<ShownBox> shown;
  std::function<void(const ShownBox&)> on_show;

 private:
  ScopedServices scope_{[this](Services& s) { s.boxes = this; }};
};

// Counts every yield (it is in force with the every-yield policy) and can
// run an action at the k-th one: set StopFlag, or whatever a user might do.
class ScriptedPump : public EventPump {
 public:
  void PumpEvents() override {
    ++count;
    if (count == stop_at) StopFlag = true;
    if (on_pump) on_pump(count);
  }

  std::int64_t count = 0;
  std::int64_t stop_at = -1;  // the yield (1-based) at which StopFlag is set
  std::function<void(std::int64_t)> on_pump;

 private:
  ScopedServices scope_{[this](Services& s) {
    s.pump = this;
    s.yield_policy = YieldPolicy::EveryYield();
  }};
};

// A clock in whole milliseconds, the tick count it gives, that tests move by
// hand. In force for its lifetime.
class FakeTicks : public Clock {
 public:
  std::chrono::nanoseconds Now() override {
    ++reads;
    return std::chrono::milliseconds(value);
  }
  std::uint32_t value = 1000;
  int reads = 0;

 private:
  ScopedServices scope_{[this](Services& s) { s.clock = this; }};
};

// A fresh folder under the system's temporary directory, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The folder and a name in it, in UTF-8 as the engine takes paths.
  std::string Utf8() const;
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

#ifndef _WIN32
// A small tmpfs mounted on a fresh folder for the test's lifetime (only
// where the test may mount: root on Linux).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& size);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  bool mounted_ = false;
};
#endif

// The bytes the file holds (0 when there is none yet), and a wait of up to
// a minute until it holds at least `bytes`, for a run in another process.
std::uintmax_t SizeOf(const std::string& path);
void WaitForBytes(const std::string& path, std::uintmax_t bytes);

// Paths in UTF-8, on Windows too (where std::string paths would be ANSI).
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8Path(const std::filesystem::path& path);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace torvane::testing
