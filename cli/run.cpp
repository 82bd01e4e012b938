#include "cli/run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>

#include "cli/batch.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "common/message_box.h"
#include "common/number_locale.h"
#include "common/services.h"
#include "common/text.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "engine/messages.h"
#include "engine/room.h"
#include "random/seeded_provider.h"

namespace torvane::cli {
namespace {

using Clock = std::chrono::steady_clock;
using FileCreator::RunOutcome;
using FileCreator::VerifyMode;

// Exit statuses beyond 0, 1 and 128 + a signal.
constexpr int kBadInput = 2;
constexpr int kReaderGone = 128 + 13;  // as a program that SIGPIPE ended

// The progress bar of the window, as one line on standard error.
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
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const int width = TerminalColumns();
    std::string line;
    if (count_ > 1) {
      const std::string which = "(" + std::to_string(index_) + "/" + std::to_string(count_) + ") ";
      line = which +
             RenderProgress(done_ + written, all_, elapsed,
                            width > 0 ? std::max(width - static_cast<int>(which.size()), 1) : 0);
    } else {
      line = RenderProgress(written, total, elapsed, width);
    }
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
    line_open_ = true;
  }
  // Ends the progress display. After a Stop or a failure the last periodic
  // line may lag behind the file: it then states what the file holds.
  void Finish(bool completed, ByteCount kept) {
    if (drawn_ && !completed && kept >= 0) SetProgressBytes(kept, FileCreator::TotalBytes());
    if (line_open_) std::fputs("\n", stderr);
    line_open_ = false;
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
  Clock::time_point start_ = Clock::now();
};

// The engine's boxes become lines on standard error, kept until the file's
// progress display has ended, so that the reason is the last thing shown;
// "Done." closes every run in the window and says nothing here.
class StderrBoxes : public MessageBoxes {
 public:
  void Show(std::string_view text, MsgIcon, std::string_view) override { Keep(text, {}); }
  // A script reading the line needs the system's reason as much as the text.
  void ShowFailure(std::string_view text, std::string_view reason, MsgIcon,
                   std::string_view) override {
    Keep(text, reason);
  }
  // Prints what was kept; returns how many lines.
  int Print() {
    for (const std::string& line : lines_)
      std::fprintf(stderr, "%s: %s\n", kProgramName, line.c_str());
    const int shown = static_cast<int>(lines_.size());
    lines_.clear();
    return shown;
  }

 private:
  void Keep(std::string_view text, std::string_view reason) {
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
    lines_.push_back(std::move(line));
  }
  std::vector<std::string> lines_;
};

class FixedJob : public JobSource {
 public:
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

// Standard output as the stream of -o -.
class StdoutSink : public FileCreator::ByteSink {
 public:
  Result Write(std::span<const std::uint8_t> data) override {
    while (!data.empty()) {
      const long moved = WriteStandardOutput(data.data(), data.size());
      if (moved > 0) {
        data = data.subspan(static_cast<std::size_t>(moved));
      } else if (moved < 0 && errno == EPIPE) {
        closed = true;
        return Result::Closed;
      } else if (!(moved < 0 && errno == EINTR)) {
        if (moved == 0) errno = EIO;
        return Result::Failed;
      }
    }
    return Result::Written;
  }
  bool closed = false;
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

// What one file is told: its path, or its JSON object.
struct FileResult {
  std::string seed;  // the copy's seed, "" without one
  double seconds = 0;
  bool stopped_by_reader = false;
};

std::string JsonLine(const Options& options, RunOutcome outcome, const FileResult& result) {
  nlohmann::json object = {{"path", FileCreator::JobFilePath()},
                           {"bytes", std::max<ByteCount>(FileCreator::BytesKept(), 0)},
                           {"layout", options.job.FixedLength ? "fixed" : "continuous"},
                           {"seconds", result.seconds},
                           {"status", outcome == RunOutcome::Completed ? "done"
                                      : outcome == RunOutcome::Stopped ? "stopped"
                                                                       : "failed"}};
  if (!result.seed.empty()) object["seed"] = result.seed;
  if (!FileCreator::LastChecksum().empty()) object["sha256"] = FileCreator::LastChecksum();
  // Invalid UTF-8 in a path is replaced rather than refused.
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// What one file's run tells the user; returns its exit status.
int Report(const Options& options, RunOutcome outcome, int lines_shown, const FileResult& result) {
  const std::string& path = FileCreator::JobFilePath();
  const bool verifying = options.run.verify != VerifyMode::None;
  int status = 1;
  if (outcome == RunOutcome::Completed) {
    if (options.run.verify == VerifyMode::Rules)
      std::fprintf(stderr,
                   "%s: checked the size and the layout only: without --seed the content "
                   "itself cannot be made again\n",
                   kProgramName);
    status = 0;
  } else if (outcome == RunOutcome::Stopped && result.stopped_by_reader) {
    return kReaderGone;  // quietly, as head's writer ends
  } else if (outcome == RunOutcome::Stopped) {
    // Only a signal stops a run here; a script learns which from the status.
    const int signal = InterruptSignal() != 0 ? InterruptSignal() : SIGINT;
    const ByteCount kept = FileCreator::BytesKept();
    std::string holds;
    if (kept >= 0 && !options.stream)
      holds = ": " + std::string(BaseName(path)) + " holds " + FormatThousands(kept) + " of " +
              FormatThousands(FileCreator::TotalBytes()) + " bytes";
    std::fprintf(stderr, "%s: stopped by %s%s\n", kProgramName, SignalName(signal), holds.c_str());
    status = 128 + signal;
  } else {
    if (lines_shown == 0)
      std::fprintf(stderr, "%s: could not create %s\n", kProgramName, path.c_str());
    // As cmp: 1 the file differs, 2 it could not be read.
    if (verifying && !FileCreator::LastRunFoundDifference()) status = kBadInput;
  }
  if (options.stream) return status;
  if (options.json)
    return PrintOut(JsonLine(options, outcome, result), "the result of " + path)
               ? status
               : std::max(status, 1);
  if (status != 0) return status;
  // A script reads the path from here.
  return PrintOut((verifying ? "OK " : "") + path + "\n", "the path of " + path) ? 0 : 1;
}

// The output folder as an absolute path, through UTF-8 both ways: on Windows
// a std::string path would pass the ANSI code page, which cannot hold every
// folder name.
std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ignored;
  const auto absolute = std::filesystem::absolute(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), ignored);
  if (ignored) return folder;
  const std::u8string normal = absolute.lexically_normal().u8string();
  return std::string(normal.begin(), normal.end());
}

// The files one after the other; returns the worst status. A failure or a
// signal ends the batch: the next files would most likely meet the same full
// disk, and a stop means no more files.
int RunBatch(const Options& options, const std::vector<BatchFile>& files,
             const std::string& folder) {
  CatchInterrupt();
  TerminalView view(!options.quiet && StderrIsTerminal());
  StderrBoxes boxes;
  InterruptPump pump;
  FixedJob source;
  StdoutSink sink;
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
  int worst = 0, made = 0;
  const int count = static_cast<int>(files.size());
  for (const BatchFile& file : files) {
    // The free space again before each file of a fill: other programs write
    // too, and a file system spends blocks that no plan sees.
    if (options.fill && !FileCreator::FitsAboveReserve(folder, file.size, options.reserve)) {
      std::fprintf(stderr,
                   "%s: the fill ends after %d of %d files: the next would cut into the reserve\n",
                   kProgramName, made, count);
      break;
    }
    source.Set(file.job);
    FileCreator::RunOptions run = options.run;
    run.copy = file.copy;
    run.overlap = true;  // nothing else waits on this thread
    if (options.stream) run.sink = &sink;
    FileCreator::SetRunOptions(run);
    // A seed replaces the system's generator, afresh for each file; the k-th
    // copy of a size takes the seed with "_k" after it, as its name does.
    FileResult result;
    if (options.seed)
      result.seed = *options.seed + (file.copy > 1 ? "_" + std::to_string(file.copy) : "");
    std::optional<SeededCryptoProvider> seeded;
    if (options.seed) seeded.emplace(result.seed);
    ScopedServices crypto([&](Services& s) {
      if (seeded) s.crypto = &*seeded;
    });
    view.StartFile(made + 1, count, done, all);
    const Clock::time_point start = Clock::now();
    FileCreator::PushButton1_Click();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.stopped_by_reader = sink.closed;
    const RunOutcome outcome = FileCreator::LastOutcome();
    view.Finish(outcome == RunOutcome::Completed, FileCreator::BytesKept());
    const int status = Report(options, outcome, boxes.Print(), result);
    worst = std::max(worst, status);
    done += file.size;
    if (status != 0) break;
    ++made;
  }
  if (worst != 0 && made + 1 < count)
    std::fprintf(stderr, "%s: %d of %d files %s; %d not begun\n", kProgramName, made, count,
                 options.run.verify != VerifyMode::None ? "checked" : "made", count - made - 1);
  return worst;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
  SetUserNumberLocale(NumberLocaleOfUser());
  const Result<Options> parsed = ParseCommandLine(args);
  if (!parsed) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, parsed.error().c_str());
    return kBadInput;
  }
  const Options& options = *parsed;
  if (options.help)
    return PrintOut(UsageText(std::max(TerminalColumns(true), 80)), "the help text") ? 0 : 1;
  if (options.list_presets) return PrintOut(PresetList(), "the preset list") ? 0 : 1;
  if (options.version) {
    const std::string version = std::string(kProgramName) + " " + TORVANE_VERSION + "\n";
    return PrintOut(version, "the version") ? 0 : 1;
  }
  const std::string folder = AbsoluteFolder(options.job.OutputFolder);
  const Result<std::vector<BatchFile>> files = PlanBatch(options, folder);
  if (!files) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, files.error().c_str());
    return kBadInput;
  }
  if (options.stream) PrepareByteOutput();
  return RunBatch(options, *files, folder);
}

}  // namespace torvane::cli
