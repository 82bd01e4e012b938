#pragma once

// The folder module: a modal chooser of file-system folders, owned by the
// main window, behind a seam that tests answer instead of a person.

#include <string>
#include <string_view>

class QWidget;

namespace torvane::AddFolder {

// CurrentServices().folder_chooser, else the desktop's own.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // Shows the chooser over `owner` with the instruction text, preselecting
  // `initial_folder` unless it is "". Returns the chosen folder's path, or ""
  // on cancel.
  [[nodiscard]] virtual std::string Choose(QWidget* owner, std::string_view instruction,
                                           std::string_view initial_folder) = 0;
};

// The chosen folder's path as the chooser gives it (no trailing "/" except
// for the root), or "" when the user cancels.
[[nodiscard]] std::string BrowseForFolder(QWidget* owner, std::string_view instruction,
                                          std::string_view initial_folder);

}  // namespace torvane::AddFolder
