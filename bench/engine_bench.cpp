// The engine beside dd, in one run, with the production yield and real
// files: continuous 0..255 against dd from /dev/urandom in 61,440-byte synced
// writes, fixed-length hex against dd of 80-byte synced writes (every record
// is one synced write, so that is the floor), fixed-length hex on /dev/shm
// (formatting and yields alone), and the peak RSS of a 1 GiB continuous run.
//
//   engine_bench [DISK_DIR] [CONTINUOUS_MB] [FIXED_KB] [SHM_MB] [RSS_MB]
//   (defaults /var/tmp 128 256 256 1024; DISK_DIR must not be tmpfs)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/services.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "engine/messages.h"

namespace {

using namespace torvane;

constexpr int kRounds = 9;
// dd writes the same blocks as the continuous layout.
constexpr long long kChunk = FileCreator::kChunkSizes.front();

struct QuietBoxes : MessageBoxes {
  void Show(std::string_view text, MsgIcon, std::string_view) override {
    if (text != FileCreator::kDoneMessage)
      std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data());
  }
};

struct NoEvents : EventPump {
  void PumpEvents() override {}
};

struct Window : JobSource, RunView {
  JobSettings job;
  std::string caption{FileCreator::kStartCaption};
  std::string OutputFolder() override { return job.OutputFolder; }
  JobSettings ReadJob() override { return job; }
  bool HexPairs() override { return job.HexPairs; }
  CaseConversion CaseConversionNow() override { return job.Case; }
  std::string ButtonCaption() override { return caption; }
  void SetButtonCaption(std::string_view text) override { caption = text; }
  void SetMousePointer(MousePointer) override {}
  void SetProgressValue(int) override {}
  void SetProgressText(std::string_view) override {}
};

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs one job of `bytes` in `folder` and returns its seconds; the file is removed.
double RunEngine(const std::string& folder, long long bytes, bool fixed) {
  Window window;
  window.job.OutputFolder = folder;
  window.job.UsePresetSize = false;
  window.job.CustomLength = std::to_string(bytes);
  window.job.CustomUnit = 0;
  window.job.FixedLength = fixed;
  ScopedServices front_end([&](Services& s) {
    s.job = &window;
    s.view = &window;
  });
  const double seconds = Seconds(FileCreator::PushButton1_Click);
  if (FileCreator::LastOutcome() != FileCreator::RunOutcome::Completed)
    std::fprintf(stderr, "engine run did not complete\n");
  std::filesystem::remove(FileCreator::JobFilePath());
  return seconds;
}

double RunDd(const std::string& folder, const char* input, long long block, long long count) {
  const std::string out = folder + "/dd.bin";
  const std::string command = "dd if=" + std::string(input) + " of=" + out +
                              " bs=" + std::to_string(block) + " count=" + std::to_string(count) +
                              " oflag=dsync status=none";
  const double seconds = Seconds([&] {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "dd failed\n");
  });
  std::filesystem::remove(out);
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Rounds of the two, taken in turn so that the disk's moods (synced writes
// here vary by a factor of two from one second to the next) fall on both
// alike; the ratio is the median of the rounds' ratios.
void Compare(const char* what, long long bytes, const std::function<double()>& ours,
             const char* theirs_name, const std::function<double()>& theirs) {
  std::vector<double> our_times, their_times, ratios;
  for (int round = 0; round < kRounds; ++round) {
    our_times.push_back(ours());
    their_times.push_back(theirs());
    ratios.push_back(their_times.back() / our_times.back());
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("%-28s %8.2f MB/s   %-40s %8.2f MB/s   engine/dd %.2f\n", what,
              mb / Median(our_times), theirs_name, mb / Median(their_times), Median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string disk = argc > 1 ? argv[1] : "/var/tmp";
  const long long continuous = (argc > 2 ? std::atoll(argv[2]) : 128) * 1048576 / kChunk * kChunk;
  const long long fixed = (argc > 3 ? std::atoll(argv[3]) : 256) * 1024 / 80 * 80;
  const long long shm = (argc > 4 ? std::atoll(argv[4]) : 256) * 1048576;
  const long long rss_bytes = (argc > 5 ? std::atoll(argv[5]) : 1024) * 1048576;

  QuietBoxes boxes;
  NoEvents events;
  ScopedServices services([&](Services& s) {
    s.boxes = &boxes;
    s.pump = &events;
    s.yield_policy = YieldPolicy::Production();
  });

  std::printf("disk folder %s; MB = 10^6 bytes; medians of %d rounds taken in turn\n", disk.c_str(),
              kRounds);
  const std::string dd_name = "dd if=/dev/urandom bs=" + std::to_string(kChunk) + " oflag=dsync";
  Compare(
      "continuous 0..255, disk", continuous, [&] { return RunEngine(disk, continuous, false); },
      dd_name.c_str(), [&] { return RunDd(disk, "/dev/urandom", kChunk, continuous / kChunk); });
  Compare(
      "fixed-length hex, disk", fixed, [&] { return RunEngine(disk, fixed, true); },
      "dd if=/dev/zero bs=80 oflag=dsync",
      [&] { return RunDd(disk, "/dev/zero", 80, fixed / 80); });
  std::vector<double> shm_times;
  for (int round = 0; round < kRounds; ++round)
    shm_times.push_back(RunEngine("/dev/shm", shm, true));
  std::printf("%-28s %8.2f MB/s\n", "fixed-length hex, /dev/shm",
              static_cast<double>(shm) / 1e6 / Median(shm_times));

  // The peak RSS of a run of its own, in a child so that nothing before counts.
  const pid_t child = fork();
  if (child == 0) {
    RunEngine(disk, rss_bytes, false);
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  std::printf("%-28s peak RSS %.1f MB (of %lld MiB written)\n", "continuous 0..255, disk",
              static_cast<double>(usage.ru_maxrss) / 1024.0, rss_bytes / 1048576);
  return 0;
}
