#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::Shown;

class FolderButton : public ::testing::Test {
 protected:
  void SetUp() override { form.Form_Load(); }
  void Press() { QTest::mouseClick(form.PushButton7, Qt::LeftButton); }

  GuiSandbox sandbox;
  testing::RecordingMessageBoxes boxes;
  testing::ScriptedFolderChooser chooser;
  ui::Form1 form{sandbox.store};
};

TEST_F(FolderButton, FirstUseOpensWithoutAFolderAndStoresTheChoice) {
  chooser.answers = {sandbox.Output()};
  Press();
  EXPECT_EQ(chooser.initial_folders, std::vector<std::string>{""});
  EXPECT_EQ(chooser.instruction, "Please select folder:");
  EXPECT_EQ(chooser.owner, &form);
  EXPECT_EQ(Shown(form, "Text4"), sandbox.Output() + "/");
  EXPECT_EQ(sandbox.Stored("Output Folder"), sandbox.Output() + "/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), sandbox.Output());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(FolderButton, TheRootKeepsItsOneSlash) {
  chooser.answers = {"/"};
  Press();
  EXPECT_EQ(Shown(form, "Text4"), "/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), "/");
}

TEST_F(FolderButton, CancelChangesNothingAndTypingDoesNotMoveTheStart) {
  sandbox.Seed("LastFolderDot", "/srv/earlier");
  chooser.answers = {sandbox.Output(), "", ""};
  Press();
  form.Text4->setText("/typed/");
  Press();
  EXPECT_EQ(Shown(form, "Text4"), "/typed/");
  EXPECT_EQ(sandbox.Stored("Output Folder"), "/typed/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), sandbox.Output());
  EXPECT_EQ(form.LastFolder(), sandbox.Output());
  Press();
  EXPECT_EQ(chooser.initial_folders,
            (std::vector<std::string>{"/srv/earlier", sandbox.Output(), sandbox.Output()}));
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace torvane
