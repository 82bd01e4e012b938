// The Create/Stop button and one job from the click to "Done.".

#include "bigfiles/file_layer.h"
#include "common/error_box.h"
#include "common/message_box.h"
#include "common/services.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/file_creator.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/target_check.h"
#include "engine/target_file.h"

namespace torvane::FileCreator {

using detail::g_run;

namespace detail {

void FailRun(std::string_view description, int system_error) {
  FailureBox(description, system_error);
  StopFlag = true;
  g_run.failed = true;
}

}  // namespace detail

namespace {

// What the click and RequestStop share: the run winds down at its next test
// of the flag, and the button shows its idle caption again at once.
void StopActiveRun() {
  if (g_run.running) {
    StopFlag = true;
    g_run.stop_requested = true;
  }
  RunView* view = CurrentServices().view;
  if (!g_run.saved_caption.empty() && view != nullptr) view->SetButtonCaption(g_run.saved_caption);
}

RunOutcome OutcomeOfRun() {
  if (g_run.failed) return RunOutcome::Failed;
  if (g_run.stop_requested) return RunOutcome::Stopped;
  // Set without a Stop: the file or random-data object failed and said why.
  if (StopFlag) return RunOutcome::Failed;
  return RunOutcome::Completed;
}

// Empty.dat: made (with its checksum, when asked), or read back; a stream
// of nothing has nothing to write. A failure has failed the run.
void MakeEmptyFile() {
  const RunOptions& options = g_run.options;
  if (options.sink != nullptr) {
    g_run.bytes_kept = 0;
  } else if (options.verify == VerifyMode::None && options.checksum) {
    // The empty file's checksum is as checkable as any other's.
    detail::TargetWriter target(g_run.job_file_path, options, false);
    if (target.opened() && target.Finish()) {
      g_run.bytes_kept = 0;
      (void)target.WriteChecksum();
    }
  } else if (options.verify == VerifyMode::None) {
    (void)detail::EmptyTarget(g_run.job_file_path);
  } else {
    detail::TargetChecker checker(g_run.job_file_path);
    if (checker.opened()) (void)checker.Finish();
  }
}

// The builder the run options and the layout pick. Their results are
// ignored by design: a builder that fails or is stopped has said why and
// set StopFlag, and the click reads the run's outcome from the run state.
void RunTheBuilder(std::int16_t low, std::int16_t high, const JobSettings& job) {
  const RunOptions& options = g_run.options;
  const bool verifying = options.verify != VerifyMode::None;
  if (options.verify == VerifyMode::Rules)
    (void)CheckLayout(low, high, job);
  else if (options.content == ContentKind::Sparse && !verifying && options.sink == nullptr)
    (void)BuildSparse();
  else if (options.content != ContentKind::Random || !job.FixedLength)
    (void)BuildContinuous(low, high);
  else
    (void)BuildFixedLength(low, high);
}

}  // namespace

void SetRunOptions(const RunOptions& options) { g_run.options = options; }

bool IsRunning() { return g_run.running; }
RunOutcome LastOutcome() { return g_run.last_outcome; }
ByteCount TotalBytes() { return g_run.total_bytes; }
ByteCount BytesKept() { return g_run.bytes_kept; }
bool LastRunFoundDifference() { return g_run.differs; }
const std::string& LastChecksum() { return g_run.checksum; }
const std::string& JobFileName() { return g_run.job_file_name; }
const std::string& JobFilePath() { return g_run.job_file_path; }

void RequestStop() {
  try {
    StopActiveRun();
  } catch (...) {
    // The flag is set before the view is touched; a failing view changes nothing.
  }
}

bool IsFolder(const std::string& path) {
  // A NUL inside would make the system test a shorter path.
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  return CurrentFileLayer().IsFolder(path);
}

void PushButton1_Click() {
  RunView* view = CurrentServices().view;
  JobSource* source = CurrentServices().job;
  if (view == nullptr || source == nullptr) return;
  ErrorTrap trap("Form1", "PushButton1_Click");

  std::string caption;
  trap(10, [&] { caption = view->ButtonCaption(); });
  const bool stop_click = caption == kStopCaption;
  // After a Stop the button shows its idle caption while the run still winds
  // down; a click then must not start a second run over the same state.
  if (!stop_click && g_run.running) return;

  bool folder_ok = false;
  trap(20, [&] { folder_ok = IsFolder(source->OutputFolder()); });
  if (!folder_ok) {
    trap(30, [&] { MsgBox(kFolderMissingMessage); });
    if (!stop_click) g_run.last_outcome = RunOutcome::Failed;
    return;
  }
  if (stop_click) {
    trap(40, [&] { StopActiveRun(); });
    return;
  }

  g_run.running = true;
  g_run.stop_requested = false;
  g_run.failed = false;
  trap(50, [&] { view->SetMousePointer(MousePointer::Hourglass); });
  trap(60, [&] { g_run.saved_caption = caption; });
  trap(70, [&] { view->SetButtonCaption(kStopCaption); });
  trap(80, [&] { StopFlag = false; });
  trap(90, [&] { BeginProcessing(); });
  trap(100, [&] { view->SetButtonCaption(g_run.saved_caption); });
  trap(110, [&] { view->SetProgressValue(0); });
  trap(120, [&] { view->SetProgressText(kIdleProgressText); });
  trap(130, [&] { view->SetMousePointer(MousePointer::Default); });
  g_run.last_outcome = OutcomeOfRun();
  trap(140, [&] { MsgBox(kDoneMessage); });
  g_run.running = false;
}

void BeginProcessing() {
  RunView* view = CurrentServices().view;
  JobSource* source = CurrentServices().job;
  if (view == nullptr || source == nullptr) return;
  try {
    view->SetMousePointer(MousePointer::Default);
    StopFlag = false;
    Yield();
    g_run.total_bytes = 0;
    g_run.bytes_kept = -1;
    g_run.differs = false;
    g_run.checksum.clear();
    g_run.job_file_name.clear();
    g_run.job_file_path.clear();
    if (StopFlag) return;

    const JobSettings job = source->ReadJob();
    Result<JobTarget> resolved = ResolveTarget(job);
    JobTarget target = resolved.ok() ? *resolved : JobTarget();
    if (g_run.options.copy > 1) target.name += "_" + std::to_string(g_run.options.copy);
    // A name given whole carries its own ending: the path is the folder and it.
    const std::string& given = g_run.options.file_name;
    const auto path_of = [&](const std::string& folder) {
      return given.empty() ? JoinJobPath(folder, target.name) : JoinPath(folder, given);
    };
    if (!given.empty()) target.name = given;
    if (!IsFolder(job.OutputFolder)) {
      // The folder is read again here and may have changed since the click;
      // an empty one would put the file at the root.
      detail::FailRun(kFolderMissingMessage);
    } else if (!resolved) {
      detail::FailRun(resolved.error());
    } else if (target.empty_file) {
      g_run.job_file_name = target.name;
      g_run.job_file_path = path_of(job.OutputFolder);
      MakeEmptyFile();
    } else {
      g_run.job_file_name = target.name;
      g_run.total_bytes = target.size;
      Yield();
      if (StopFlag) return;
      const Result<std::int16_t> low = ConvertByteValue("Low", job.LowText);
      const Result<std::int16_t> high = ConvertByteValue("High", job.HighText);
      if (!low || !high) {
        detail::FailRun(!low ? low.error() : high.error());
      } else {
        g_run.job_file_path = path_of(job.OutputFolder);
        ShowProgress(0);
        RunTheBuilder(*low, *high, job);
      }
    }
  } catch (...) {
    detail::FailRun(DescribeException(std::current_exception()));
  }
  try {
    view->SetMousePointer(MousePointer::Default);
    Yield();
  } catch (...) {
    detail::FailRun(DescribeException(std::current_exception()));
  }
}

}  // namespace torvane::FileCreator
