#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
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

// The desktop's own chooser: modal over the window, opening on the initial
// folder, and giving the folder accepted in it.
TEST_F(FolderButton, TheDesktopChooserOpensOnTheInitialFolder) {
  AddFolder::InstallFolderChooser(nullptr);
  std::string opened_on;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->parentWidget(), &form);
    opened_on = dialog->directory().absolutePath().toStdString();
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(AddFolder::BrowseForFolder(&form, "Please select folder:", sandbox.Output()),
            sandbox.Output());
  EXPECT_EQ(opened_on, sandbox.Output());
}

}  // namespace
}  // namespace torvane
