// Folder names as Windows users meet them: outside the ANSI code page, past
// MAX_PATH, on a drive that is not there, written with forward slashes.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_runner.h"

namespace torvane::cli {
namespace {

using testing::PathFromUtf8;
using testing::TempDir;
namespace fs = std::filesystem;

TEST(CliWindows, FolderNamesAsWindowsHasThem) {
  TempDir dir, scratch;
  // 16 folders of 20 characters: more than MAX_PATH (260) in all.
  std::string deep = dir.Utf8();
  for (int i = 0; i < 16; ++i) deep += "\\folder-of-twenty-ch";
  std::string slashes = dir.Utf8();
  for (char& c : slashes)
    if (c == '\\') c = '/';
  struct Row {
    const char* name;
    std::string output;  // -o; a folder made first with `make`
    bool make;
    int status;
    std::string says;  // the file made, or a piece of stderr
  };
  const std::string greek = dir.File("Ελληνικά-όχι");
  const Row rows[] = {
      {"Greek, CJK and emoji", dir.File("Ελληνικά 漢字 😀"), true, 0,
       dir.File("Ελληνικά 漢字 😀") + "\\KB_1.dat"},
      {"longer than MAX_PATH", deep, true, 0, deep + "\\KB_1.dat"},
      {"forward slashes", slashes, false, 0, dir.File("KB_1.dat")},
      {"a file named whole, in Greek", greek + ".bin", false, 0, greek + ".bin"},
      {"a drive that is not there", "Q:\\nothere\\", false, 2,
       "folder does not exist: Q:\\nothere\\"},
      {"a file on a drive that is not there", "Q:\\nothere\\x.bin", false, 2,
       "folder does not exist: Q:\\nothere"},
      {"not there under a Greek name", greek + "\\", false, 2,
       "folder does not exist: " + greek + "\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // The \\?\ form reaches past MAX_PATH whatever the test's own runtime does.
    if (row.make) {
      ASSERT_TRUE(fs::create_directories(PathFromUtf8("\\\\?\\" + row.output)));
    }
    const Finished done = Cli({"-q", "-o", row.output}, scratch).Wait();
    EXPECT_EQ(done.status, row.status) << done.err;
    if (row.status != 0) {
      EXPECT_EQ(done.err, "torvane-cli: " + row.says + kEol);
      EXPECT_TRUE(done.out.empty()) << done.out;
      continue;
    }
    EXPECT_EQ(done.out, row.says + kEol);
    EXPECT_TRUE(done.err.empty()) << done.err;
    // Read back by its UTF-16 name.
    std::error_code error;
    EXPECT_EQ(fs::file_size(PathFromUtf8("\\\\?\\" + row.says), error), 1024u) << error.message();
    fs::remove(PathFromUtf8("\\\\?\\" + row.says), error);
  }
  // fs::remove_all does not get below MAX_PATH under Wine: one level at a time.
  for (std::error_code ignored; deep.size() > dir.Utf8().size(); deep.resize(deep.rfind('\\')))
    fs::remove(PathFromUtf8("\\\\?\\" + deep), ignored);
}

}  // namespace
}  // namespace torvane::cli
