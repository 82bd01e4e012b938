#pragma once

// What the window's tests share: one QApplication on the offscreen platform,
// a sandbox that points the settings store, the home folder and the program's
// folder at a temporary tree, and a folder chooser that answers from a script.

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fakes.h"
#include "ui/add_folder.h"
#include "ui/qt_settings_store.h"

class QApplication;

namespace torvane::testing {

QApplication& GuiApp();

class GuiSandbox {
 public:
  // With `with_desktop` the home folder holds a Desktop folder.
  explicit GuiSandbox(bool with_desktop = true);
  ~GuiSandbox();
  GuiSandbox(const GuiSandbox&) = delete;
  GuiSandbox& operator=(const GuiSandbox&) = delete;

  std::string Root() const { return root_.path().string(); }
  std::string Home() const { return root_.File("home"); }
  std::string Desktop() const { return root_.File("home/Desktop"); }
  std::string AppFolder() const { return root_.File("app"); }
  std::string Output() const { return root_.File("out"); }
  // Points the home folder elsewhere (a missing folder: no home at all).
  void SetHome(const std::string& path);

  void Seed(const std::string& key, const std::string& value);
  std::optional<std::string> Stored(const std::string& key) const;
  QStringList StoredKeys() const;

  ui::QtSettingsStore store;

 private:
  TempDir root_;
  std::optional<std::string> old_home_;
};

// Answers the folder chooser from `answers`, in order, and records each call.
class ScriptedFolderChooser : public AddFolder::FolderChooser {
 public:
  ScriptedFolderChooser() : previous_(AddFolder::InstallFolderChooser(this)) {}
  ~ScriptedFolderChooser() override { AddFolder::InstallFolderChooser(previous_); }

  std::string Choose(QWidget* owner, std::string_view instruction,
                     std::string_view initial_folder) override;

  struct Call {
    QWidget* owner;
    std::string instruction;
    std::string initial_folder;
  };
  std::vector<std::string> answers;
  std::vector<Call> calls;

 private:
  AddFolder::FolderChooser* previous_;
};

}  // namespace torvane::testing
