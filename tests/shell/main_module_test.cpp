#include "shell/main_module.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <regex>

#include "tests/ui/gui_support.h"

namespace torvane {
namespace {

using testing::WindowTest;
using testing::WriteFileBytes;

TEST(AppTitle, CutsBeforeTheLastBlankAtLeastOnceAndToFortyCharacters) {
  // 48 characters: cut twice, to 39.
  EXPECT_EQ(Main::TitleFromProductName("Alpha Beta Gamma Delta Epsilon Zeta Eta Th Iota"),
            "Alpha Beta Gamma Delta Epsilon Zeta Eta");
  Main::SetAppTitle();  // "Torvane Software" is short, and still loses its last word
  EXPECT_EQ(torvane::AppTitle(), "Torvane");
}

TEST_F(WindowTest, TheDesktopFolderIsTheUsersElseHomeAlwaysWithOneTrailingSlash) {
  if (!testing::kHomeHoldsTheDesktop) {
    // The shell's folder in the system's own form: a drive, backslashes only.
    EXPECT_TRUE(std::regex_match(Main::GetDesktopFolder(), std::regex(R"([A-Z]:(\\[^\\/]+)*\\)")))
        << Main::GetDesktopFolder();
    GTEST_SKIP() << "the shell always has a desktop folder: no HOME moves or removes it";
  }
  EXPECT_EQ(Main::GetDesktopFolder(), Desktop() + "/");
  std::filesystem::create_directories(Home() + "/Schreibtisch");
  WriteFileBytes(std::string(std::getenv("XDG_CONFIG_HOME")) + "/user-dirs.dirs",
                 "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(Main::GetDesktopFolder(), Home() + "/Schreibtisch/");
  std::filesystem::remove(Home() + "/Schreibtisch");
  EXPECT_EQ(Main::GetDesktopFolder(), Home() + "/");
  SetHome(Home() + "/gone");
  EXPECT_EQ(Main::GetDesktopFolder(), "");
}

// A window with a control of each kind whose window colour differs from its
// button-face colour, so that the skin's repaint shows. No file, and a folder
// in its place, change nothing.
TEST_F(WindowTest, OnlyASkinFilePaintsTheSurfacesInButtonFaceAndAppliesItsStyleSheet) {
  QWidget window;
  window.setPalette(QPalette(Qt::green, Qt::red));  // button face, window
  auto* frame = new QGroupBox("frame", &window);
  const std::vector<QWidget*> surfaces{&window, frame, new QLabel("label", frame),
                                       new QRadioButton("option", frame),
                                       new QCheckBox("", &window)};
  auto* box = new QLineEdit(&window);
  EXPECT_TRUE(Main::ApplySkin(&window));
  std::filesystem::create_directories(AppFolder() + "/x/o.cjs");
  EXPECT_TRUE(Main::ApplySkin(&window));
  EXPECT_EQ(window.palette().color(QPalette::Window), Qt::red);
  EXPECT_TRUE(!window.autoFillBackground() && window.styleSheet().isEmpty());
  std::filesystem::remove(AppFolder() + "/x/o.cjs");
  const std::string sheet = "QPushButton { border: 2px solid navy; }";
  WriteFileBytes(AppFolder() + "/x/o.cjs", sheet);
  EXPECT_TRUE(Main::ApplySkin(&window));
  for (QWidget* surface : surfaces) {
    EXPECT_TRUE(surface->autoFillBackground()) << surface->metaObject()->className();
    EXPECT_EQ(surface->palette().color(QPalette::Window), Qt::green);
  }
  EXPECT_FALSE(box->autoFillBackground());
  EXPECT_EQ(window.styleSheet().toStdString(), sheet);
}

}  // namespace
}  // namespace torvane
