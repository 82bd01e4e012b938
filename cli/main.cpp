// torvane-cli: the engine of the window, driven from a script.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "common/message_box.h"
#include "common/number_locale.h"
#include "common/services.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "engine/messages.h"
#include "engine/room.h"
#include "random/crypto_provider.h"
#include "random/seeded_provider.h"

namespace torvane::cli {
namespace {

class TerminalView : public RunView {
 public:
  explicit TerminalView(bool show) : show_(show) {}
  std::string ButtonCaption() override { return caption_; }
  void SetButtonCaption(std::string_view caption) override { caption_ = caption; }
  void SetMousePointer(MousePointer) override {}
  void SetProgressValue(int) override {}
  void SetProgressText(std::string_view) override {}
  // A batch shows which file runs and the bytes and time of the whole batch.
  void StartFile(int index, int count, ByteCount done, ByteCount all) {
    index_ = index;
    count_ = count;
    done_ = done;
    all_ = all;
  }
  void SetProgressBytes(ByteCount written, ByteCount total) override {
    if (!show_) return;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string line = count_ > 1
                                 ? "(" + std::to_string(index_) + "/" + std::to_string(count_) +
                                       ") " + RenderProgress(done_ + written, all_, elapsed)
                                 : RenderProgress(written, total, elapsed);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
    line_open_ = true;
  }
  // A message goes on a line of its own, not after the progress line.
  void EndLine() {
    if (line_open_) std::fputs("\n", stderr);
    line_open_ = false;
  }
  // Ends the progress display. After a Stop or a failure the last periodic
  // line may lag behind the file: it then states what the file holds.
  void Finish(bool completed, ByteCount kept) {
    if (!drawn_) return;
    if (!completed && kept >= 0) SetProgressBytes(kept, FileCreator::TotalBytes());
    EndLine();
  }

 private:
  bool show_;
  bool drawn_ = false;
  bool line_open_ = false;
  int index_ = 1;
  int count_ = 1;
  ByteCount done_ = 0;
  ByteCount all_ = 0;
  std::string caption_{FileCreator::kStartCaption};
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The engine's boxes become lines on standard error; "Done." closes every
// run in the window and says nothing here.
class StderrBoxes : public MessageBoxes {
 public:
  explicit StderrBoxes(TerminalView& view) : view_(view) {}
  void Show(std::string_view text, MsgIcon, std::string_view) override { Print(text, {}); }
  // A script reading the line needs the system's reason as much as the text.
  void ShowFailure(std::string_view text, std::string_view reason, MsgIcon,
                   std::string_view) override {
    Print(text, reason);
  }
  int shown = 0;

 private:
  void Print(std::string_view text, std::string_view reason) {
    if (text == FileCreator::kDoneMessage) return;
    std::string line;
    for (char c : text) {
      if (c == '\r' || c == '\n') {
        if (!line.empty() && line.back() != ' ') line.push_back(' ');
      } else {
        line.push_back(c);
      }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!reason.empty()) {
      if (!line.empty() && line.back() == '.') line.pop_back();  // "...read: No such file"
      line.append(": ").append(reason);
    }
    view_.EndLine();
    std::fprintf(stderr, "%s: %s\n", kProgramName, line.c_str());
    ++shown;
  }
  TerminalView& view_;
};

class FixedJob : public JobSource {
 public:
  explicit FixedJob(JobSettings job) : job_(std::move(job)) {}
  void Set(JobSettings job) { job_ = std::move(job); }
  std::string OutputFolder() override { return job_.OutputFolder; }
  JobSettings ReadJob() override { return job_; }
  bool HexPairs() override { return job_.HexPairs; }
  CaseConversion CaseConversionNow() override { return job_.Case; }

 private:
  JobSettings job_;
};

// Runs between the engine's small steps, as the window's event loop would.
class InterruptPump : public EventPump {
 public:
  void PumpEvents() override {
    if (InterruptSignal() != 0 && !asked_) {
      asked_ = true;
      FileCreator::RequestStop();
    }
  }

 private:
  bool asked_ = false;
};

// Writes `text` to standard output, flushed. A script that did not get it
// has no success: a failure is said on standard error, naming `what`.
bool PrintOut(const std::string& text, const std::string& what) {
  errno = 0;
  if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return true;
  std::fprintf(stderr, "%s: %s could not be written to standard output: %s\n", kProgramName,
               what.c_str(), errno != 0 ? std::strerror(errno) : "unknown error");
  return false;
}

// What one file's run tells the user; returns its exit status.
int Report(FileCreator::RunOutcome outcome, FileCreator::VerifyMode verify, int boxes_shown) {
  const std::string& path = FileCreator::JobFilePath();
  switch (outcome) {
    case FileCreator::RunOutcome::Completed: {
      if (verify == FileCreator::VerifyMode::Rules)
        std::fprintf(stderr,
                     "%s: checked the size and the layout only: without --seed the content "
                     "itself cannot be made again\n",
                     kProgramName);
      // A script reads the path from here.
      const char* ok = verify != FileCreator::VerifyMode::None ? "OK " : "";
      return PrintOut(ok + path + "\n", "the path of " + path) ? 0 : 1;
    }
    case FileCreator::RunOutcome::Stopped: {
      // Only a signal stops a run here; a script learns which from the status.
      const int signal = InterruptSignal() != 0 ? InterruptSignal() : SIGINT;
      const ByteCount kept = FileCreator::BytesKept();
      if (kept < 0)
        std::fprintf(stderr, "%s: stopped by %s\n", kProgramName, SignalName(signal));
      else
        std::fprintf(stderr, "%s: stopped by %s: %s.dat holds %s of %s bytes\n", kProgramName,
                     SignalName(signal), FileCreator::JobFileName().c_str(),
                     FormatThousands(kept).c_str(),
                     FormatThousands(FileCreator::TotalBytes()).c_str());
      return 128 + signal;
    }
    default:
      if (boxes_shown == 0)
        std::fprintf(stderr, "%s: could not create %s\n", kProgramName, path.c_str());
      return 1;
  }
}

int Run(int argc, char** argv) {
  if (!OpenStandardStreams()) {
    std::fprintf(stderr, "%s: /dev/null could not be opened: %s\n", kProgramName,
                 std::strerror(errno));
    return 1;
  }
  PrepareConsole();
  const ParseResult parsed = ParseCommandLine(Utf8Arguments(argc, argv));
  if (!parsed.ok) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) return PrintOut(UsageText(), "the help text") ? 0 : 1;
  if (parsed.options.version) {
    const std::string version = std::string(kProgramName) + " " + TORVANE_VERSION + "\n";
    return PrintOut(version, "the version") ? 0 : 1;
  }

  const Options& options = parsed.options;
  // Through UTF-8 both ways: on Windows a std::string path would pass the
  // ANSI code page, which cannot hold every folder name.
  std::string folder = options.job.OutputFolder;
  std::error_code ignored;
  const auto absolute = std::filesystem::absolute(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), ignored);
  if (!ignored) {
    const std::u8string normal = absolute.lexically_normal().u8string();
    folder.assign(normal.begin(), normal.end());
  }

  std::string refused;
  const std::vector<BatchFile> files = PlanBatch(options, folder, refused);
  if (files.empty()) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, refused.c_str());
    return 2;
  }

  CatchInterrupt();
  TerminalView view(!options.quiet && StderrIsTerminal());
  StderrBoxes boxes(view);
  InterruptPump pump;
  FixedJob source(files.front().job);
  ScopedServices terminal([&](Services& s) {
    s.boxes = &boxes;
    s.pump = &pump;
    s.yield_policy = YieldPolicy::Production();
    s.job = &source;
    s.view = &view;
  });

  ByteCount all = 0;
  for (const BatchFile& file : files) all += file.size;
  ByteCount done = 0;
  int worst = 0;
  int made = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const BatchFile& file = files[i];
    // The free space again before each file of a fill: other programs write
    // too, and a file system spends blocks that no plan sees.
    if (options.fill && !FileCreator::FitsAboveReserve(folder, file.size, options.reserve)) {
      std::fprintf(stderr,
                   "%s: the fill ends after %d of %d files: the next would cut into the reserve\n",
                   kProgramName, made, static_cast<int>(files.size()));
      break;
    }
    source.Set(file.job);
    FileCreator::RunOptions run = options.run;
    run.copy = file.copy;
    run.overlap = true;  // nothing else waits on this thread
    FileCreator::SetRunOptions(run);
    // A seed replaces the system's generator, afresh for each file; the k-th
    // copy of a size takes the seed with "_k" after it, as its name does.
    std::optional<SeededCryptoProvider> seeded;
    if (options.seed)
      seeded.emplace(file.copy > 1 ? *options.seed + "_" + std::to_string(file.copy)
                                   : *options.seed);
    ScopedServices crypto([&](Services& s) {
      if (seeded) s.crypto = &*seeded;
    });
    view.StartFile(static_cast<int>(i) + 1, static_cast<int>(files.size()), done, all);
    boxes.shown = 0;
    FileCreator::PushButton1_Click();
    const FileCreator::RunOutcome outcome = FileCreator::LastOutcome();
    view.Finish(outcome == FileCreator::RunOutcome::Completed, FileCreator::BytesKept());
    const int status = Report(outcome, options.run.verify, boxes.shown);
    worst = std::max(worst, status);
    done += file.size;
    // A failure or a signal ends the batch: the next files would most likely
    // meet the same full disk, and a stop means no more files.
    if (status != 0) break;
    ++made;
  }
  const int count = static_cast<int>(files.size());
  if (worst != 0 && made + 1 < count)
    std::fprintf(stderr, "%s: %d of %d files %s; %d not begun\n", kProgramName, made, count,
                 options.run.verify != FileCreator::VerifyMode::None ? "checked" : "made",
                 count - made - 1);
  return worst;
}

}  // namespace
}  // namespace torvane::cli

int main(int argc, char** argv) { return torvane::cli::Run(argc, argv); }
