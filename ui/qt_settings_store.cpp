#include "ui/qt_settings_store.h"

#include <QSettings>
#include <QString>

#include "ui/qt_text.h"

namespace torvane::ui {
namespace {

QString Address(std::string_view section, std::string_view key) {
  return Q(section) + QLatin1Char('/') + Q(key);
}

}  // namespace

std::string QtSettingsStore::GetSetting(std::string_view application, std::string_view section,
                                        std::string_view key, std::string_view fallback) const {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Q(application));
  const QVariant value = settings.value(Address(section, key));
  if (!value.isValid()) return std::string(fallback);
  return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(std::string_view application, std::string_view section,
                                  std::string_view key, std::string_view value) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Q(application));
  settings.setValue(Address(section, key), Q(value));
  settings.sync();
}

}  // namespace torvane::ui
