#include "ui/add_folder.h"

#include <QFile>
#include <QFileDialog>

#include "common/services.h"
#include "shell/path_text.h"
#include "ui/qt_text.h"

namespace torvane::AddFolder {
namespace {

class DesktopFolderChooser : public FolderChooser {
 public:
  std::string Choose(QWidget* owner, std::string_view instruction,
                     std::string_view initial_folder) override {
    QFileDialog dialog(owner, ui::Q(instruction));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowModality(Qt::WindowModal);
    if (!initial_folder.empty())
      dialog.setDirectory(Main::PathFromCore(std::string(initial_folder)));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return Main::PathToCore(QDir::cleanPath(chosen.front()));
  }
};

DesktopFolderChooser g_desktop_chooser;

}  // namespace

std::string BrowseForFolder(QWidget* owner, std::string_view instruction,
                            std::string_view initial_folder) {
  FolderChooser* chooser = CurrentServices().folder_chooser;
  if (chooser == nullptr) chooser = &g_desktop_chooser;
  return chooser->Choose(owner, instruction, initial_folder);
}

}  // namespace torvane::AddFolder
