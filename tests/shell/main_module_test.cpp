#include "shell/main_module.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>

#include "common/message_box.h"
#include "tests/ui/gui_support.h"

namespace torvane {
namespace {

using testing::GuiSandbox;
using testing::WriteFileBytes;

TEST(AppTitle, CutsBeforeTheLastBlankAtLeastOnceAndToFortyCharacters) {
  EXPECT_EQ(Main::TitleFromProductName("Torvane Software"), "Torvane");
  EXPECT_EQ(Main::TitleFromProductName("Short Name Here"), "Short Name");
  // 48 characters: cut twice, to 39.
  EXPECT_EQ(Main::TitleFromProductName("Alpha Beta Gamma Delta Epsilon Zeta Eta Th Iota"),
            "Alpha Beta Gamma Delta Epsilon Zeta Eta");
  EXPECT_EQ(Main::TitleFromProductName("Solitary"), "Solitary");
  Main::SetAppTitle();
  EXPECT_EQ(torvane::AppTitle(), "Torvane");
}

TEST(DesktopFolder, TheUsersDesktopElseHomeAlwaysWithOneTrailingSlash) {
  GuiSandbox sandbox(/*with_desktop=*/false);
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Home() + "/");
  std::filesystem::create_directories(sandbox.Desktop());
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Desktop() + "/");
  std::filesystem::create_directories(sandbox.Home() + "/Schreibtisch");
  WriteFileBytes(std::string(std::getenv("XDG_CONFIG_HOME")) + "/user-dirs.dirs",
                 "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(Main::GetDesktopFolder(), sandbox.Home() + "/Schreibtisch/");
  sandbox.SetHome(sandbox.Home() + "/gone");
  EXPECT_EQ(Main::GetDesktopFolder(), "");
}

// A window with a control of each kind whose window colour differs from its
// button-face colour, so that the skin's repaint shows.
class Skin : public ::testing::Test {
 protected:
  Skin() {
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, Qt::red);
    palette.setColor(QPalette::Button, Qt::green);
    form.setPalette(palette);
    frame = new QGroupBox("frame", &form);
    surfaces = {&form, frame, new QLabel("label", frame), new QRadioButton("option", frame),
                new QCheckBox("check", &form)};
    box = new QLineEdit(&form);
  }
  GuiSandbox sandbox;
  QWidget form;
  QGroupBox* frame;
  std::vector<QWidget*> surfaces;
  QLineEdit* box;
};

TEST_F(Skin, NoFileAndAFolderAtItsPathChangeNothing) {
  EXPECT_TRUE(Main::ApplySkin(&form));
  std::filesystem::create_directories(sandbox.AppFolder() + "/x/o.cjs");
  EXPECT_TRUE(Main::ApplySkin(&form));
  EXPECT_EQ(form.palette().color(QPalette::Window), Qt::red);
  EXPECT_FALSE(form.autoFillBackground());
  EXPECT_TRUE(form.styleSheet().isEmpty());
}

TEST_F(Skin, PaintsTheSurfacesInButtonFaceThenAppliesTheStyleSheet) {
  std::filesystem::create_directories(sandbox.AppFolder() + "/x");
  const std::string sheet = "QPushButton { border: 2px solid navy; }";
  WriteFileBytes(sandbox.AppFolder() + "/x/o.cjs", sheet);
  EXPECT_TRUE(Main::ApplySkin(&form));
  for (QWidget* surface : surfaces) {
    EXPECT_TRUE(surface->autoFillBackground()) << surface->metaObject()->className();
    EXPECT_EQ(surface->palette().color(QPalette::Window), Qt::green);
  }
  EXPECT_FALSE(box->autoFillBackground());
  EXPECT_EQ(form.styleSheet().toStdString(), sheet);
}

}  // namespace
}  // namespace torvane
