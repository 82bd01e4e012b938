#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>

#include "common/message_box.h"
#include "shell/main_module.h"
#include "tests/ui/gui_support.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::WriteFileBytes;

struct TitleCase {
  const char* product;
  const char* title;
};
void PrintTo(const TitleCase& c, std::ostream* os) { *os << '"' << c.product << '"'; }

class AppTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(AppTitle, CutsBeforeTheLastBlankAtLeastOnceAndToFortyCharacters) {
  EXPECT_EQ(Main::TitleFromProductName(GetParam().product), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Products, AppTitle,
    ::testing::Values(TitleCase{"Torvane Software", "Torvane"},
                      TitleCase{"Short Name Here", "Short Name"},  // short, still cut once
                      TitleCase{"Alpha Beta Gamma Delta Epsilon Zeta Eta Theta",  // 45
                                "Alpha Beta Gamma Delta Epsilon Zeta Eta"},        // 39
                      TitleCase{"Alpha Beta Gamma Delta Epsilon Zeta Eta Th Iota",  // 48 -> 42 -> 39
                                "Alpha Beta Gamma Delta Epsilon Zeta Eta"},
                      TitleCase{"Solitary", "Solitary"}));

TEST(AppTitleText, SetAppTitleTitlesEveryBox) {
  Main::SetAppTitle();
  EXPECT_EQ(torvane::AppTitle(), "Torvane");
}

class DesktopFolder : public ::testing::Test {
 protected:
  GuiSandbox sandbox{/*with_desktop=*/false};
};

TEST_F(DesktopFolder, IsTheDesktopWithOneTrailingSlash) {
  std::filesystem::create_directories(sandbox.Desktop());
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Desktop() + "/");
}

TEST_F(DesktopFolder, FollowsTheUsersRenamedDesktop) {
  std::filesystem::create_directories(sandbox.Home() + "/Schreibtisch");
  WriteFileBytes(std::string(std::getenv("XDG_CONFIG_HOME")) + "/user-dirs.dirs",
                 "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Home() + "/Schreibtisch/");
}

TEST_F(DesktopFolder, FallsBackToHomeWithoutADesktopFolder) {
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Home() + "/");
}

TEST_F(DesktopFolder, FailsAsEmptyTextWithoutHome) {
  sandbox.SetHome(sandbox.Home() + "/gone");
  EXPECT_EQ(Main::GetDesktopFolder(), "");
}

TEST_F(DesktopFolder, FileExistsNeverFails) {
  WriteFileBytes(sandbox.Home() + "/a.txt", "x");
  EXPECT_TRUE(Main::FileExists(sandbox.Home() + "/a.txt"));
  EXPECT_FALSE(Main::FileExists(sandbox.Home() + "/missing.txt"));
  EXPECT_FALSE(Main::FileExists(""));
}

// A window with one control of each kind, whose window colour differs from
// its button-face colour so that a repaint can be seen.
class Skin : public ::testing::Test {
 protected:
  Skin() {
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, Qt::red);
    palette.setColor(QPalette::Button, Qt::green);
    form.setPalette(palette);
    frame = new QGroupBox("frame", &form);
    label = new QLabel("label", frame);
    option = new QRadioButton("option", frame);
    check = new QCheckBox("check", &form);
    box = new QLineEdit(&form);
  }
  std::string SkinPath() const { return sandbox.AppFolder() + "/x/o.cjs"; }
  static bool Painted(QWidget* w) {
    return w->autoFillBackground() && w->palette().color(QPalette::Window) == Qt::green;
  }

  GuiSandbox sandbox;
  QWidget form;
  QGroupBox* frame;
  QLabel* label;
  QRadioButton* option;
  QCheckBox* check;
  QLineEdit* box;
};

TEST_F(Skin, WithoutASkinFileNothingChanges) {
  EXPECT_TRUE(Main::ApplySkin(&form));
  EXPECT_EQ(form.palette().color(QPalette::Window), Qt::red);
  EXPECT_FALSE(form.autoFillBackground());
  EXPECT_TRUE(form.styleSheet().isEmpty());
}

TEST_F(Skin, AFolderAtTheSkinPathIsNoSkin) {
  std::filesystem::create_directories(SkinPath());
  EXPECT_TRUE(Main::ApplySkin(&form));
  EXPECT_EQ(form.palette().color(QPalette::Window), Qt::red);
  EXPECT_TRUE(form.styleSheet().isEmpty());
}

TEST_F(Skin, PaintsTheSurfacesInButtonFaceThenAppliesTheStyleSheet) {
  std::filesystem::create_directories(sandbox.AppFolder() + "/x");
  const std::string sheet = "QPushButton { border: 2px solid navy; }";
  WriteFileBytes(SkinPath(), sheet);
  EXPECT_TRUE(Main::ApplySkin(&form));
  for (QWidget* surface : std::initializer_list<QWidget*>{&form, frame, label, option, check})
    EXPECT_TRUE(Painted(surface)) << surface->metaObject()->className();
  EXPECT_FALSE(box->autoFillBackground());
  EXPECT_EQ(form.styleSheet().toStdString(), sheet);
}

}  // namespace
}  // namespace torvane
