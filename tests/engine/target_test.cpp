// What a run does to the name it writes: hostile things planted at the name,
// and folders the file layer does not see.

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <functional>

#include "engine/messages.h"
#include "engine/room.h"
#include "tests/engine/engine_fakes.h"

// After the project's headers: windows.h defines a Yield() macro.
#ifdef _WIN32
#include <windows.h>
#endif

namespace torvane::testing {
namespace {

using namespace FileCreator;
namespace fs = std::filesystem;

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

#ifdef _WIN32
// Wine (8.0) answers success to CreateSymbolicLinkW and makes nothing: a link
// that cannot be made skips the test, so the link rows come last.
void Link(const std::string& path, const std::string& to) {
  const DWORD folder = fs::is_directory(PathFromUtf8(to)) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  (void)CreateSymbolicLinkW(PathFromUtf8(path).c_str(), PathFromUtf8(to).c_str(),
                            folder | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD attributes = GetFileAttributesW(PathFromUtf8(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    GTEST_SKIP() << "no symbolic link can be made here (wine)";
  }
}
#else
void Link(const std::string& path, const std::string& to) {
  ASSERT_EQ(::symlink(to.c_str(), path.c_str()), 0);
}
#endif

struct HostileRow {
  const char* target;  // the file name in the chosen folder
  // Puts something at `path`, maybe a link to `victim` outside the folder;
  // may keep a descriptor open in `held`.
  std::function<void(const std::string& path, const std::string& victim, int& held)> plant;
  std::string refusal;  // the message after "The file \"<path>\" " ("": written)
};

// Whatever sits at the name, the file outside keeps its content and nothing
// new appears outside; a refused name is left as it was, with its message
// and then "Done.", and the run counts as failed. Only an old file of its own
// frees its blocks for a batch.
TEST(Names, TouchNothingOutsideTheFolder) {
  const std::string link = "is a symbolic link. Remove it or choose another folder.",
                    other = "is not a regular file. Remove it or choose another folder.";
  const HostileRow rows[] = {
      // The other name keeps its content; this name gets a new file.
      {"KB_1.dat",
       [](auto& p, auto& v, int&) { fs::create_hard_link(PathFromUtf8(v), PathFromUtf8(p)); }, ""},
      {"KB_1.dat", [](auto& p, auto&, int&) { fs::create_directory(PathFromUtf8(p)); }, other},
#ifndef _WIN32
      {"KB_1.dat", [](auto& p, auto&, int&) { ::mkfifo(p.c_str(), 0600); }, other},
#endif
      // Another run holds the file: its lock is what a second run meets.
      {"KB_1.dat",
       [](auto& p, auto&, int& held) {
         WriteFileBytes(p, "the other run's records");
         held = PlatformLayer().Open(p, FileLayer::Access::ReadWriteAlways);
         ASSERT_TRUE(PlatformLayer().LockExclusive(held));
       },
       "is being written by another run."},
      {"KB_1.dat", [](auto& p, auto& v, int&) { Link(p, v); }, link},
      {"Empty.dat", [](auto& p, auto& v, int&) { Link(p, v); }, link}};
  for (const HostileRow& row : rows) {
    SCOPED_TRACE(&row - rows);
    Window w;
    TempDir outside;  // holding a file that no run may touch
    const std::string victim = outside.File("victim"), path = w.dir.File(row.target);
    int held = -1;
    WriteFileBytes(victim, "precious");
    row.plant(path, victim, held);
    if (::testing::Test::IsSkipped() || ::testing::Test::HasFatalFailure()) return;
    const auto before = Named(path);
    if (std::string(row.target) == "Empty.dat") w.Custom("0");
    EXPECT_EQ(FreedByReplacing(path) > 0, held >= 0);
    PushButton1_Click();

    const auto after = Named(path);
    if (row.refusal.empty()) {
      EXPECT_EQ(w.boxes.Texts(), std::vector<std::string>{"Done."});
      EXPECT_EQ(LastOutcome(), RunOutcome::Completed);
      // The name has a file of its own.
      EXPECT_EQ(std::tuple(std::get<1>(after), std::get<2>(after), std::get<3>(after)),
                std::tuple(FileLayer::Identity::Kind::Regular, 1u, 1024));
    } else {
      const std::string shown = "The file \"" + path + "\" " + row.refusal;
      EXPECT_EQ(w.boxes.Texts(), (std::vector<std::string>{shown, "Done."}));
      EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
      EXPECT_EQ(after, before);
    }
    EXPECT_EQ(ReadFileBytes(victim), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), {}), 1);
    if (held >= 0) (void)PlatformLayer().Close(held);
  }
}

// Both folder tests, at the click and when the job starts, ask the file
// layer: a folder it does not see is missing, whatever the disk holds. Seen
// at the click only, the run fails before any file is made.
TEST_F(EngineTest, TheFolderTestsAskTheFileLayer) {
  const std::string missing(kFolderMissingMessage);
  const std::vector<std::string> shown[] = {{missing}, {missing, "Done."}};
  for (int seen : {0, 1}) {
    boxes.shown.clear();
    layer.Fail(FileDouble::kIsFolder, seen + 1, 0);
    PushButton1_Click();
    EXPECT_EQ(boxes.Texts(), shown[seen]);
    EXPECT_EQ(LastOutcome(), RunOutcome::Failed);
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
  // A NUL inside would have the system test the folder before it.
  boxes.shown.clear();
  job.OutputFolder += std::string("\0sub", 4);
  PushButton1_Click();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{missing});
}

}  // namespace
}  // namespace torvane::testing
