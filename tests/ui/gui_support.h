#pragma once

// The one fixture of the window's tests: one QApplication on the offscreen
// platform, the settings store, the home folder and the program's folder
// pointed at a temporary tree, and a window made from a seeded store.
// On Windows the store is a registry key of the test's own, and the desktop
// stays the user's: the shell finds it, not the home folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/main_module.h"
#include "shell/path_text.h"
#include "tests/support/fakes.h"
#include "ui/form1.h"
#include "ui/qt_settings_store.h"
#include "ui/qt_text.h"

namespace torvane::testing {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Whether HOME (and XDG_CONFIG_HOME) move the desktop folder, or the shell
// keeps it where the user's profile says.
#ifdef _WIN32
inline constexpr bool kHomeHoldsTheDesktop = false;
#else
inline constexpr bool kHomeHoldsTheDesktop = true;
#endif
// Each test's settings key lies below this one, removed when the test ends.
inline const QString kTestsRegistryKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Torvane tests");

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    static int argc = 1;
    static char name[] = "torvane-gui-tests", *argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      new QApplication(argc, argv);
    }
    for (const char* folder : {"settings", "xdg", "app", "out", "home/Desktop"})
      std::filesystem::create_directories(root_.File(folder));
    SetHome(Home());
    // The user's own configuration is never read or written by a test.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(root_.File("xdg")));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       ui::Q(root_.File("settings")));
    ui::OverrideRegistryRoot(kTestsRegistryKey + '\\' + RegistryName());
    Main::OverrideAppFolder(AppFolder());
  }
  ~WindowTest() override {
    Main::OverrideAppFolder("");
    ui::OverrideRegistryRoot({});
#ifdef _WIN32
    QSettings(kTestsRegistryKey, QSettings::NativeFormat).remove(RegistryName());
#endif
  }

  std::string Home() const { return root_.File("home"); }
  std::string Desktop() const {
    if (kHomeHoldsTheDesktop) return root_.File("home/Desktop");
    return Main::PathToCore(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
  }
  std::string AppFolder() const { return root_.File("app"); }
  std::string Output() const { return root_.File("out"); }
  void SetHome(const std::string& path) { qputenv("HOME", QByteArray::fromStdString(path)); }
  QString RegistryName() const { return ui::Q(Utf8Path(root_.path().filename())); }
  std::optional<std::string> Stored(const std::string& key) const {
    const std::string value = store.GetSetting(kSettingsApplication, kSettingsSection, key, "\1");
    return value == "\1" ? std::nullopt : std::optional(value);
  }
  // Empties the store (with `fresh`), seeds it, then makes, loads and shows a
  // window in place of the last.
  void Load(const Pairs& seeds = {}, bool fresh = false) {
    if (fresh) ui::OpenSettings(kSettingsApplication)->clear();
    for (const auto& [key, value] : seeds)
      store.SaveSetting(kSettingsApplication, kSettingsSection, key, value);
    form.reset();  // a window going away detaches the engine
    form = std::make_unique<ui::Form1>(store);
    form->Form_Load();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  static void Click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }
  // Enters the box, types over its text, and leaves it for the folder box.
  void TypeAndLeave(QLineEdit* box, const char* typed) {
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, typed);
    if (*typed == '\0') QTest::keyClick(box, Qt::Key_Backspace);
    form->Text4->setFocus(Qt::MouseFocusReason);
  }
  void UseCustomSize(int unit, const char* length = nullptr) {
    Click(form->Option9);
    form->Combo2->setCurrentIndex(unit);
    if (length != nullptr) form->Text3->setText(length);
  }
  // "Text1".."Text4", "Combo1", "Combo2": the text; "Option1".."Option9":
  // "True"/"False"; "focus": the focused control; "enabled": which of the size
  // controls Combo1, Text3 and Combo2 can be used.
  std::string Shown(const std::string& control) const {
    if (control == "focus") return ui::S(form->focusWidget()->objectName());
    if (control == "enabled") {
      std::string names;
      for (QWidget* size : std::initializer_list<QWidget*>{form->Combo1, form->Text3, form->Combo2})
        if (size->isEnabled()) names += (names.empty() ? "" : " ") + ui::S(size->objectName());
      return names;
    }
    QWidget* widget = form->findChild<QWidget*>(ui::Q(control));
    if (auto* option = qobject_cast<QRadioButton*>(widget))
      return option->isChecked() ? "True" : "False";
    return ui::S(
        widget->property(qobject_cast<QComboBox*>(widget) ? "currentText" : "text").toString());
  }

  TempDir root_;  // made first, removed last
  ui::QtSettingsStore store;
  RecordingMessageBoxes boxes;
  std::unique_ptr<ui::Form1> form;
};

}  // namespace torvane::testing
