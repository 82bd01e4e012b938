#include "tests/ui/gui_support.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QSettings>
#include <cstdlib>
#include <filesystem>

#include "shell/main_module.h"
#include "ui/form1.h"

namespace torvane::testing {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "torvane-gui-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  (void)app;
}

}  // namespace

GuiSandbox::GuiSandbox(bool with_desktop) {
  EnsureApplication();
  for (const char* folder : {"settings", "xdg", "app", "out", "home"})
    std::filesystem::create_directories(root_.File(folder));
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

std::vector<std::string> GuiSandbox::StoredKeys() const {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Q(kSettingsApplication));
  settings.beginGroup(Q(kSettingsSection));
  std::vector<std::string> keys;
  for (const QString& key : settings.childKeys()) keys.push_back(key.toStdString());
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::string Shown(ui::Form1& form, const std::string& control) {
  QWidget* widget = form.findChild<QWidget*>(Q(control.substr(control.find(':') + 1)));
  if (widget == nullptr) return "<no control " + control + ">";
  if (control.starts_with("enabled:")) return widget->isEnabled() ? "True" : "False";
  if (auto* option = qobject_cast<QRadioButton*>(widget))
    return option->isChecked() ? "True" : "False";
  if (auto* list = qobject_cast<QComboBox*>(widget)) return list->currentText().toStdString();
  return qobject_cast<QLineEdit*>(widget)->text().toStdString();
}

std::string ScriptedFolderChooser::Choose(QWidget* chooser_owner, std::string_view chooser_text,
                                          std::string_view initial_folder) {
  owner = chooser_owner;
  instruction = chooser_text;
  initial_folders.emplace_back(initial_folder);
  if (answers.empty()) return {};
  std::string answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace torvane::testing
