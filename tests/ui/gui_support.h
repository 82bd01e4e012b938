#pragma once

// Shared by the window's tests: one QApplication on the offscreen platform, a
// sandbox that points the settings store, the home folder and the program's
// folder at a temporary tree, and a folder chooser answered from a script.

#include <optional>
#include <string>
#include <vector>

#include "tests/support/fakes.h"
#include "ui/add_folder.h"
#include "ui/qt_settings_store.h"

namespace torvane::ui {
class Form1;
}

namespace torvane::testing {

class GuiSandbox {
 public:
  explicit GuiSandbox(bool with_desktop = true);
  ~GuiSandbox();

  std::string Root() const { return root_.path().string(); }
  std::string Home() const { return root_.File("home"); }
  std::string Desktop() const { return root_.File("home/Desktop"); }
  std::string AppFolder() const { return root_.File("app"); }
  std::string Output() const { return root_.File("out"); }
  void SetHome(const std::string& path);  // a missing folder: no home at all

  void Seed(const std::string& key, const std::string& value);
  std::optional<std::string> Stored(const std::string& key) const;
  std::vector<std::string> StoredKeys() const;

  ui::QtSettingsStore store;

 private:
  TempDir root_;
  std::optional<std::string> old_home_;
};

// What the window shows for a control: "Text1".."Text4" and "Combo1"/"Combo2"
// their text, "Option1".."Option9" "True"/"False", "enabled:<name>" likewise.
std::string Shown(ui::Form1& form, const std::string& control);

class ScriptedFolderChooser : public AddFolder::FolderChooser {
 public:
  ScriptedFolderChooser() : previous_(AddFolder::InstallFolderChooser(this)) {}
  ~ScriptedFolderChooser() override { AddFolder::InstallFolderChooser(previous_); }
  std::string Choose(QWidget* owner, std::string_view instruction,
                     std::string_view initial_folder) override;

  std::vector<std::string> answers;  // "" answers as a cancel
  std::vector<std::string> initial_folders;
  QWidget* owner = nullptr;
  std::string instruction;

 private:
  AddFolder::FolderChooser* previous_;
};

}  // namespace torvane::testing
