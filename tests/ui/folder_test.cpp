#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/ui/gui_support.h"
#include "ui/form1.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::RecordingMessageBoxes;
using testing::ScriptedFolderChooser;
using ui::Form1;

std::string S(const QString& text) { return text.toStdString(); }

class FolderButton : public ::testing::Test {
 protected:
  void SetUp() override { form.Form_Load(); }
  void Press() { QTest::mouseClick(form.PushButton7, Qt::LeftButton); }

  GuiSandbox sandbox;
  RecordingMessageBoxes boxes;
  ScriptedFolderChooser chooser;
  Form1 form{sandbox.store};
};

TEST_F(FolderButton, FirstUseOpensWithoutAFolderAndStoresTheChoice) {
  chooser.answers = {sandbox.Output()};
  Press();
  ASSERT_EQ(chooser.calls.size(), 1u);
  EXPECT_EQ(chooser.calls[0].initial_folder, "");
  EXPECT_EQ(chooser.calls[0].instruction, "Please select folder:");
  EXPECT_EQ(chooser.calls[0].owner, &form);
  EXPECT_EQ(S(form.Text4->text()), sandbox.Output() + "/");
  EXPECT_EQ(sandbox.Stored("Output Folder"), sandbox.Output() + "/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), sandbox.Output());
  EXPECT_EQ(form.LastFolder(), sandbox.Output());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(FolderButton, TheRootKeepsItsOneSlash) {
  chooser.answers = {"/"};
  Press();
  EXPECT_EQ(S(form.Text4->text()), "/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), "/");
}

TEST_F(FolderButton, CancelChangesNothing) {
  chooser.answers = {sandbox.Output(), ""};
  Press();
  form.Text4->setText("/typed/");
  Press();
  EXPECT_EQ(S(form.Text4->text()), "/typed/");
  EXPECT_EQ(sandbox.Stored("Output Folder"), "/typed/");
  EXPECT_EQ(sandbox.Stored("LastFolderDot"), sandbox.Output());
  EXPECT_EQ(form.LastFolder(), sandbox.Output());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(FolderButton, OpensOnTheLastChosenFolderNotTheTypedOne) {
  chooser.answers = {sandbox.Output(), ""};
  Press();
  form.Text4->setText(QString::fromStdString(sandbox.Home() + "/"));
  Press();
  ASSERT_EQ(chooser.calls.size(), 2u);
  EXPECT_EQ(chooser.calls[1].initial_folder, sandbox.Output());
}

TEST_F(FolderButton, TheStartingFolderComesFromTheStoreAtEveryPress) {
  sandbox.Seed("LastFolderDot", "/srv/earlier");
  Press();
  ASSERT_EQ(chooser.calls.size(), 1u);
  EXPECT_EQ(chooser.calls[0].initial_folder, "/srv/earlier");
}

}  // namespace
}  // namespace torvane
