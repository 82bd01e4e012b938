#include "shell/main_module.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QStandardPaths>
#include <QWidget>

#include "common/message_box.h"
#include "common/text.h"
#include "shell/path_text.h"

namespace torvane::Main {
namespace {

std::string g_app_folder_override;

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || kPathSeparators.find(path.back()) == std::string_view::npos)
    path.push_back(kPathSeparator);
  return path;
}

// The skin colours the surfaces that show the window through them; the
// boxes, lists and buttons keep their own look.
bool TakesSkinBackground(const QWidget* widget) {
  return qobject_cast<const QRadioButton*>(widget) != nullptr ||
         qobject_cast<const QCheckBox*>(widget) != nullptr ||
         qobject_cast<const QGroupBox*>(widget) != nullptr ||
         qobject_cast<const QLabel*>(widget) != nullptr;
}

void PaintButtonFace(QWidget* widget, const QColor& face) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, face);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

}  // namespace

std::string TitleFromProductName(std::string_view product) {
  std::string title(product);
  do {
    const auto blank = title.rfind(' ');
    if (blank == std::string::npos) break;
    title.resize(blank);
  } while (title.size() > 40);
  return title;
}

void SetAppTitle() {
  const std::string title = TitleFromProductName(kProductName);
  SetAppTitleText(title);
  QCoreApplication::setApplicationName(QString::fromStdString(title));
}

std::string GetSpecialFolder(std::int32_t folder) {
  QStandardPaths::StandardLocation location;
  switch (folder) {
    case kDesktop:
      location = QStandardPaths::DesktopLocation;
      break;
    case kPersonal:
      location = QStandardPaths::DocumentsLocation;
      break;
    case kAppData:
      location = QStandardPaths::GenericConfigLocation;
      break;
    default:
      return {};
  }
  const QString path = QStandardPaths::writableLocation(location);
  if (path.isEmpty() || !QFileInfo(path).isDir()) return {};
  return PathToCore(path);
}

std::string GetDesktopFolder() {
  std::string folder = GetSpecialFolder(kDesktop);
  if (folder.empty()) {
    const QString home = QDir::homePath();
    if (home.isEmpty() || !QFileInfo(home).isDir()) return {};
    folder = PathToCore(home);
  }
  return WithTrailingSlash(std::move(folder));
}

bool FileExists(const std::string& path) {
  return !path.empty() && QFileInfo::exists(PathFromCore(path));
}

std::string AppFolder() {
  if (!g_app_folder_override.empty()) return g_app_folder_override;
  return WithTrailingSlash(PathToCore(QCoreApplication::applicationDirPath()));
}

void OverrideAppFolder(std::string folder) {
  g_app_folder_override = folder.empty() ? std::string() : WithTrailingSlash(std::move(folder));
}

bool ApplySkin(QWidget* form) {
  const QString path = PathFromCore(AppFolder() + std::string(kSkinFile));
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile() || info.isHidden()) return true;

  const QColor face = form->palette().color(QPalette::Button);
  PaintButtonFace(form, face);
  for (QWidget* child : form->findChildren<QWidget*>())
    if (TakesSkinBackground(child)) PaintButtonFace(child, face);

  QFile skin(path);
  if (!skin.open(QIODevice::ReadOnly)) return false;
  form->setStyleSheet(QString::fromUtf8(skin.readAll()));
  return true;
}

}  // namespace torvane::Main
