// What a run does to the name it writes: hostile things planted at the name,
// the file or folder changed under a running run, and a write that fails.

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstring>
#include <functional>
#include <ostream>

#include "engine/messages.h"
#include "tests/engine/engine_fakes.h"

// After the project's headers: windows.h defines a Yield() macro.
#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#endif

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

// The platform's own layer, beneath the recording one: another run's.
FileLayer& PlatformLayer() {
  ScopedServices platform([](Services& s) { s.files = nullptr; });
  return CurrentFileLayer();
}

// What the name itself is (a link is not followed), as far as a refused run
// must leave it alone.
auto Named(const std::string& path) {
  FileLayer::Identity named;
  EXPECT_TRUE(PlatformLayer().IdentifyName(path, named)) << path;
  return std::tuple(named.inode, named.kind, named.links, named.size,
                    fs::symlink_status(PathFromUtf8(path)).permissions());
}

// Root may write a read-only file; anyone else is refused. Windows refuses
// everyone, and the Windows layer does so under wine running as root too.
bool MayWriteReadOnly() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() == 0;
#endif
}

// Whatever sits at the name, the file outside keeps its content and nothing
// new appears outside; a refused name is left as it was, with its message
// and then "Done.", and the run counts as failed.
TEST_P(Hostile, TouchesNothingOutsideTheFolder) {
  const HostileRow& row = GetParam();
  Outside outside;
  const std::string path = dir.File(row.target);
  int held = -1;
  row.plant(path, outside, held);
  if (IsSkipped() || HasFatalFailure()) return;
  const auto before = Named(path);
  const bool empty_file = std::string(row.target) == "Empty.dat";
  if (empty_file) Custom("0");
  const Expect expect =
      row.expect == Expect::Denied && MayWriteReadOnly() ? Expect::Written : row.expect;
  PushButton1_Click();

  const std::map<Expect, std::string> messages = {
      {Expect::SymbolicLink, SymbolicLinkMessage(path)},
      {Expect::NotRegular, NotRegularFileMessage(path)},
      {Expect::Busy, BusyMessage(path)},
      {Expect::Denied, CannotEmptyMessage(path, "Permission denied")}};
  const auto shown = boxes.Texts();
  const auto after = Named(path);
  if (expect == Expect::Written) {
    EXPECT_EQ(shown, std::vector<std::string>{"Done."});
    EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(std::get<1>(after), FileLayer::Identity::Kind::Regular);
    EXPECT_EQ(std::get<2>(after), 1u) << "the name has a file of its own";
    EXPECT_EQ(std::get<3>(after), empty_file ? 0 : 1024);
  } else {
    EXPECT_EQ(shown, (std::vector<std::string>{messages.at(expect), "Done."}));
    EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
    EXPECT_EQ(after, before);
  }
  EXPECT_EQ(ReadFileBytes(outside.victim), "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(outside.dir.path()), {}), 1);
  if (held >= 0) {
    EXPECT_TRUE(PlatformLayer().Close(held));
  }
}

#ifdef _WIN32
// Wine (8.0) answers success to CreateSymbolicLinkW and makes nothing, and
// refuses FSCTL_SET_REPARSE_POINT: a row whose link cannot be made is skipped.
bool IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(PathFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void Link(const std::string& path, const std::string& to) {
  const DWORD folder = fs::is_directory(PathFromUtf8(to)) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  (void)CreateSymbolicLinkW(PathFromUtf8(path).c_str(), PathFromUtf8(to).c_str(),
                            folder | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (!IsReparsePoint(path)) {
    GTEST_SKIP() << "no symbolic link can be made here (wine)";
  }
}

// A junction: a folder whose reparse data sends it to another folder.
void Junction(const std::string& path, const std::string& to) {
  ASSERT_TRUE(fs::create_directory(PathFromUtf8(path)));
  const std::wstring target = L"\\??\\" + PathFromUtf8(to).wstring();
  const auto name_bytes = static_cast<WORD>(target.size() * sizeof(wchar_t));
  // The REPARSE_DATA_BUFFER of a mount point: tag, lengths, then the
  // substitute name and an empty print name, each ending in a NUL.
  std::vector<std::uint8_t> data(20 + name_bytes + 2 * sizeof(wchar_t), 0);
  const WORD words[] = {static_cast<WORD>(data.size() - 8), 0, 0, name_bytes,
                        static_cast<WORD>(name_bytes + 2),  0};
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(data.data(), &tag, sizeof tag);
  std::memcpy(data.data() + 4, words, sizeof words);
  std::memcpy(data.data() + 16, target.data(), name_bytes);
  const HANDLE folder = CreateFileW(PathFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  (void)DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(),
                        static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
  CloseHandle(folder);
  if (!IsReparsePoint(path)) {
    GTEST_SKIP() << "no junction can be made here (wine)";
  }
}
#else
void Link(const std::string& path, const std::string& to) {
  ASSERT_EQ(::symlink(to.c_str(), path.c_str()), 0);
}
#endif

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
        fs::create_hard_link(PathFromUtf8(o.victim), PathFromUtf8(p)); }, Written},
    H{"Folder", kKB1, [](auto& p, auto&, int&) { fs::create_directory(PathFromUtf8(p)); },
      NotRegular},
    H{"ReadOnlyFile", kKB1, [](auto& p, auto&, int&) {
        WriteFileBytes(p, "old");
        fs::permissions(PathFromUtf8(p), fs::perms::owner_read | fs::perms::group_read |
                                             fs::perms::others_read); }, Denied},
    // Another run holds the file: its lock is what a second run meets.
    H{"WrittenByAnotherRun", kKB1, [](auto& p, auto&, int& held) {
        WriteFileBytes(p, "the other run's records");
        held = PlatformLayer().Open(p, FileLayer::Access::ReadWriteAlways);
        ASSERT_TRUE(PlatformLayer().LockExclusive(held)); }, Busy},
    H{"LongerRegularFile", kKB1, [](auto& p, auto&, int&) {
        WriteFileBytes(p, std::string(9000, 'x')); }, Written}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on
#ifdef _WIN32
const HostileRow kPlatformRow{"JunctionToFolder", kKB1,
                              [](auto& p, auto& o, int&) { Junction(p, o.dir.Utf8()); },
                              SymbolicLink};
#else
const HostileRow kPlatformRow{"Fifo", kKB1, [](auto& p, auto&, int&) { ::mkfifo(p.c_str(), 0600); },
                              NotRegular};
#endif
INSTANTIATE_TEST_SUITE_P(PlatformNames, Hostile, ::testing::Values(kPlatformRow),
                         [](const auto& info) { return std::string(info.param.name); });

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
#ifdef _WIN32
  // Windows (NTFS since Windows 10 1903) drops the name at once, or reports
  // it "delete pending"; wine does neither while the run holds the file.
  if (std::string(row.name) == "FileRemoved" &&
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
    GTEST_SKIP() << "wine keeps a removed open file's name and reports no pending delete";
#endif
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

// Puts another file at the name. Windows renames nothing over an open file,
// so there the written file is moved away first.
void Replace(const TempDir& dir, const std::string& path) {
  WriteFileBytes(dir.File("other"), "other");
#ifdef _WIN32
  fs::rename(PathFromUtf8(path), PathFromUtf8(dir.File("moved.dat")));
#endif
  fs::rename(PathFromUtf8(dir.File("other")), PathFromUtf8(path));
}

#ifndef _WIN32
// Windows removes no folder that holds an open file.
INSTANTIATE_TEST_SUITE_P(
    Folder, ChangedDuringRun,
    ::testing::Values(C{"FolderRemoved", [](auto& d, auto&) { fs::remove_all(d.path()); }, false}),
    [](const auto& info) { return std::string(info.param.name); });
#endif
// clang-format off
INSTANTIATE_TEST_SUITE_P(Changes, ChangedDuringRun, ::testing::Values(
    C{"FileRemoved", [](auto&, auto& path) { fs::remove(PathFromUtf8(path)); }, false},
    C{"FileRenamed", [](auto& d, auto& path) {
        fs::rename(PathFromUtf8(path), PathFromUtf8(d.File("moved.dat"))); }, false},
    C{"FileReplaced", [](auto& d, auto& path) { Replace(d, path); }, false},
    C{"FileGrown", [](auto&, auto& path) { fs::resize_file(path, 10000000); }, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Both folder tests, at the click and when the job starts, ask the file
// layer: a folder it does not see is missing, whatever the disk holds. Seen
// at the click only, the run fails before any file is made.
TEST_F(EngineTest, TheFolderTestsAskTheFileLayer) {
  const std::string missing(kFolderMissingMessage);
  const std::vector<std::string> shown[] = {{missing}, {missing, "Done."}};
  for (int seen : {0, 1}) {
    boxes.shown.clear();
    const int asked = layer.calls(FileDouble::kIsFolder);
    layer.Fail(FileDouble::kIsFolder, seen + 1, 0);
    PushButton1_Click();
    EXPECT_EQ(boxes.Texts(), shown[seen]);
    EXPECT_EQ(layer.calls(FileDouble::kIsFolder) - asked, seen + 1);
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
  Inject(Fault::NoSpace);
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
