#include "tests/ui/gui_support.h"

#include <QApplication>
#include <QSettings>
#include <cstdlib>
#include <filesystem>

#include "common/settings_store.h"
#include "shell/main_module.h"

namespace torvane::testing {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "torvane-gui-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

GuiSandbox::GuiSandbox(bool with_desktop) {
  GuiApp();
  std::filesystem::create_directories(root_.File("settings"));
  std::filesystem::create_directories(root_.File("xdg"));
  std::filesystem::create_directories(AppFolder());
  std::filesystem::create_directories(Output());
  std::filesystem::create_directories(Home());
  if (with_desktop) std::filesystem::create_directories(Desktop());
  if (const char* home = std::getenv("HOME")) old_home_ = home;
  SetHome(Home());
  // The user's own configuration is never read or written by a test.
  setenv("XDG_CONFIG_HOME", root_.File("xdg").c_str(), 1);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Q(root_.File("settings")));
  Main::OverrideAppFolder(AppFolder());
}

GuiSandbox::~GuiSandbox() {
  Main::OverrideAppFolder("");
  if (old_home_) setenv("HOME", old_home_->c_str(), 1);
  else unsetenv("HOME");
}

void GuiSandbox::SetHome(const std::string& path) { setenv("HOME", path.c_str(), 1); }

void GuiSandbox::Seed(const std::string& key, const std::string& value) {
  store.SaveSetting(kSettingsApplication, kSettingsSection, key, value);
}

std::optional<std::string> GuiSandbox::Stored(const std::string& key) const {
  const std::string missing = "\x01missing";
  std::string value = store.GetSetting(kSettingsApplication, kSettingsSection, key, missing);
  if (value == missing) return std::nullopt;
  return value;
}

QStringList GuiSandbox::StoredKeys() const {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Q(kSettingsApplication));
  settings.beginGroup(Q(kSettingsSection));
  QStringList keys = settings.childKeys();
  keys.sort();
  return keys;
}

std::string ScriptedFolderChooser::Choose(QWidget* owner, std::string_view instruction,
                                          std::string_view initial_folder) {
  calls.push_back({owner, std::string(instruction), std::string(initial_folder)});
  if (answers.empty()) return {};
  std::string answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace torvane::testing
