// What a run does to the name it writes: hostile things planted at the name,
// the file or folder changed under a running run, and a write that fails.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <ostream>

#include "engine/messages.h"
#include "tests/engine/engine_fakes.h"

namespace torvane::testing {
namespace {

using namespace FileCreator;
namespace fs = std::filesystem;

// A folder outside the chosen one, holding a file that no run may touch.
struct Outside {
  TempDir dir;
  std::string victim = dir.File("victim");
  Outside() { WriteFileBytes(victim, "precious"); }
};

enum class Expect { Written, SymbolicLink, NotRegular, Busy, Denied };

struct HostileRow {
  const char* name;
  const char* target;  // the file name in the chosen folder
  // Puts something at `path`; may keep a descriptor open in `held`.
  std::function<void(const std::string& path, const Outside& outside, int& held)> plant;
  Expect expect;
};
std::ostream& operator<<(std::ostream& out, const HostileRow& row) { return out << row.name; }

class Hostile : public EngineTest, public ::testing::WithParamInterface<HostileRow> {};

// Whatever sits at the name, the file outside keeps its content and nothing
// new appears outside; a refused name is left as it was, with its message
// and then "Done.", and the run counts as failed.
TEST_P(Hostile, TouchesNothingOutsideTheFolder) {
  const HostileRow& row = GetParam();
  Outside outside;
  const std::string path = dir.File(row.target);
  int held = -1;
  row.plant(path, outside, held);
  struct stat before {};
  ::lstat(path.c_str(), &before);
  const bool empty_file = std::string(row.target) == "Empty.dat";
  if (empty_file) Custom("0");
  // Root may write a read-only file; anyone else is refused.
  const Expect expect =
      row.expect == Expect::Denied && ::geteuid() == 0 ? Expect::Written : row.expect;
  PushButton1_Click();

  const std::map<Expect, std::string> messages = {
      {Expect::SymbolicLink, SymbolicLinkMessage(path)},
      {Expect::NotRegular, NotRegularFileMessage(path)},
      {Expect::Busy, BusyMessage(path)},
      {Expect::Denied, CannotEmptyMessage(path, "Permission denied")}};
  const auto shown = boxes.Texts();
  struct stat after {};
  ASSERT_EQ(::lstat(path.c_str(), &after), 0);
  if (expect == Expect::Written) {
    EXPECT_EQ(shown, std::vector<std::string>{"Done."});
    EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
    EXPECT_TRUE(S_ISREG(after.st_mode));
    EXPECT_EQ(after.st_nlink, 1u) << "the name has a file of its own";
    EXPECT_EQ(after.st_size, empty_file ? 0 : 1024);
  } else {
    EXPECT_EQ(shown, (std::vector<std::string>{messages.at(expect), "Done."}));
    EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
    EXPECT_EQ(std::tuple(after.st_ino, after.st_mode, after.st_size),
              std::tuple(before.st_ino, before.st_mode, before.st_size));
  }
  EXPECT_EQ(ReadFileBytes(outside.victim), "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(outside.dir.path()), {}), 1);
  if (held >= 0) ::close(held);
}

void Link(const std::string& path, const std::string& to) {
  ASSERT_EQ(::symlink(to.c_str(), path.c_str()), 0);
}

using enum Expect;
using H = HostileRow;
constexpr const char* kKB1 = "KB_1.dat";
// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, Hostile, ::testing::Values(
    H{"LinkToFileOutside", kKB1, [](auto& p, auto& o, int&) { Link(p, o.victim); }, SymbolicLink},
    H{"LinkAsEmptyFile", "Empty.dat", [](auto& p, auto& o, int&) { Link(p, o.victim); },
      SymbolicLink},
    H{"DanglingLink", kKB1, [](auto& p, auto& o, int&) { Link(p, o.dir.File("new")); },
      SymbolicLink},
    H{"LinkToFolder", kKB1, [](auto& p, auto& o, int&) { Link(p, o.dir.path().string()); },
      SymbolicLink},
    // The other name keeps its content; this name gets a new file.
    H{"HardLinkShared", kKB1, [](auto& p, auto& o, int&) {
        ASSERT_EQ(::link(o.victim.c_str(), p.c_str()), 0); }, Written},
    H{"Fifo", kKB1, [](auto& p, auto&, int&) { ::mkfifo(p.c_str(), 0600); }, NotRegular},
    H{"Folder", kKB1, [](auto& p, auto&, int&) { fs::create_directory(p); }, NotRegular},
    H{"ReadOnlyFile", kKB1, [](auto& p, auto&, int&) {
        WriteFileBytes(p, "old");
        ::chmod(p.c_str(), 0444); }, Denied},
    // Another run holds the file: its lock is what a second run meets.
    H{"WrittenByAnotherRun", kKB1, [](auto& p, auto&, int& held) {
        WriteFileBytes(p, "the other run's records");
        held = ::open(p.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0); }, Busy},
    H{"LongerRegularFile", kKB1, [](auto& p, auto&, int&) {
        WriteFileBytes(p, std::string(9000, 'x')); }, Written}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct ChangeRow {
  const char* name;
  std::function<void(const TempDir& dir, const std::string& path)> change;
  bool size_message;  // the file stayed at its name but holds other bytes
};
std::ostream& operator<<(std::ostream& out, const ChangeRow& row) { return out << row.name; }

class ChangedDuringRun : public EngineTest, public ::testing::WithParamInterface<ChangeRow> {};

// Someone changes the file or its folder while the run writes (at a yield
// well inside it): the run goes on to its end but is not reported as done.
TEST_P(ChangedDuringRun, FailsWithItsMessage) {
  const ChangeRow& row = GetParam();
  Custom("200000", false);
  const std::string path = dir.File("Byte_200000.dat");
  ScriptedPump pump;
  pump.on_pump = [&](std::int64_t n) {
    if (n == 20) row.change(dir, path);
  };
  PushButton1_Click();

  const std::string message =
      row.size_message ? SizeChangedMessage(path, 10000000, 200000) : ReplacedMessage(path);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{message, "Done."}));
  EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
}

using C = ChangeRow;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Changes, ChangedDuringRun, ::testing::Values(
    C{"FolderRemoved", [](auto& d, auto&) { fs::remove_all(d.path()); }, false},
    C{"FileRemoved", [](auto&, auto& path) { fs::remove(path); }, false},
    C{"FileRenamed", [](auto& d, auto& path) { fs::rename(path, d.File("moved.dat")); }, false},
    C{"FileReplaced", [](auto& d, auto& path) {
        WriteFileBytes(d.File("other"), "other");
        fs::rename(d.File("other"), path); }, false},
    C{"FileGrown", [](auto&, auto& path) { fs::resize_file(path, 10000000); }, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Both folder tests, at the click and when the job starts, ask the file
// layer: a folder it does not see is missing, whatever the disk holds. Seen
// at the click only, the run fails before any file is made.
TEST_F(EngineTest, TheFolderTestsAskTheFileLayer) {
  struct FolderGoneAfter : FileLayerWrapper {
    using FileLayerWrapper::FileLayerWrapper;
    bool IsFolder(const std::string& path) override {
      return asked++ < seen && target().IsFolder(path);
    }
    int seen = 0, asked = 0;
  } folders(layer);
  ScopedServices scope([&](Services& s) { s.files = &folders; });
  const std::string missing(kFolderMissingMessage);
  const std::vector<std::string> shown[] = {{missing}, {missing, "Done."}};
  for (int seen : {0, 1}) {
    boxes.shown.clear();
    folders.seen = seen;
    folders.asked = 0;
    PushButton1_Click();
    EXPECT_EQ(boxes.Texts(), shown[seen]);
    EXPECT_EQ(folders.asked, seen + 1);
    EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

// The write that finds the disk full is cut back to whole records through
// the file the run checked, even when the name leads elsewhere by then; the
// front end gets the system's reason with the message.
TEST_F(EngineTest, CutBackReachesOnlyTheWrittenFile) {
  struct ReasonBoxes : RecordingMessageBoxes {
    void ShowFailure(std::string_view text, std::string_view why, MsgIcon icon,
                     std::string_view title) override {
      reason = why;
      Show(text, icon, title);
    }
    std::string reason;
  } reasons;
  layer.fault = Fault::NoSpace;
  Custom("200000");
  const std::string path = dir.File("Byte_200000.dat");
  const std::string moved = dir.File("moved.dat");
  reasons.on_show = [&](const ShownBox&) {
    // Before the cut-back: the name now names another, longer file.
    if (fs::exists(moved)) return;
    fs::rename(path, moved);
    WriteFileBytes(path, std::string(500, 'n'));
  };
  PushButton1_Click();

  EXPECT_EQ(reasons.reason, "No space left on device");
  EXPECT_EQ(ReadFileBytes(moved).size(), 160u) << "two whole records";
  EXPECT_EQ(ReadFileBytes(path), std::string(500, 'n'));
  EXPECT_EQ(BytesKept(), 160);
  EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
}

}  // namespace
}  // namespace torvane::testing
