// Folder names as Windows users meet them: outside the ANSI code page, past
// MAX_PATH, on a drive that is not there, written with forward slashes.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_runner.h"

namespace torvane::cli {
namespace {

using testing::PathFromUtf8;
namespace fs = std::filesystem;

TEST(CliWindows, FolderNamesAsWindowsHasThem) {
  testing::TempDir dir;
  // 16 folders of 20 characters: more than MAX_PATH (260) in all.
  std::string deep = dir.Utf8();
  for (int i = 0; i < 16; ++i) deep += "\\folder-of-twenty-ch";
  std::string slashes = dir.Utf8();
  for (char& c : slashes)
    if (c == '\\') c = '/';
  const std::string greek = dir.File("Ελληνικά-όχι"), cjk = dir.File("Ελληνικά 漢字 😀");
  // -o (a folder made first when the run succeeds and it names no file), and
  // the file made or the refusal.
  const std::pair<std::string, std::string> rows[] = {
      {cjk, cjk + "\\KB_1.dat"},  // Greek, CJK and emoji
      {deep, deep + "\\KB_1.dat"},
      {slashes, dir.File("KB_1.dat")},
      {greek + ".bin", greek + ".bin"},  // a file named whole
      {"Q:\\nothere\\", "!folder does not exist: Q:\\nothere\\"},
      {"Q:\\nothere\\x.bin", "!folder does not exist: Q:\\nothere"},
      {greek + "\\", "!folder does not exist: " + greek + "\\"},
  };
  for (const auto& [output, says] : rows) {
    SCOPED_TRACE(output);
    // The \\?\ form reaches past MAX_PATH whatever the test's own runtime does.
    if (says[0] != '!' && output != slashes && !output.ends_with(".bin")) {
      ASSERT_TRUE(fs::create_directories(PathFromUtf8("\\\\?\\" + output)));
    }
    const Finished done = RunIn(dir, {"-q", "-o", output});
    if (says[0] == '!') {
      EXPECT_EQ(std::tie(done.status, done.err, done.out),
                std::tuple(2, "torvane-cli: " + says.substr(1) + "\n", ""));
      continue;
    }
    EXPECT_EQ(std::tie(done.status, done.out, done.err), std::tuple(0, says + "\n", ""))
        << done.err;
    // Read back by its UTF-16 name.
    std::error_code error;
    EXPECT_EQ(fs::file_size(PathFromUtf8("\\\\?\\" + says), error), 1024u) << error.message();
    fs::remove(PathFromUtf8("\\\\?\\" + says), error);
  }
  // fs::remove_all does not get below MAX_PATH under Wine: one level at a time.
  for (std::error_code ignored; deep.size() > dir.Utf8().size(); deep.resize(deep.rfind('\\')))
    fs::remove(PathFromUtf8("\\\\?\\" + deep), ignored);
}

}  // namespace
}  // namespace torvane::cli
