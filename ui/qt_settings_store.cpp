#include "ui/qt_settings_store.h"

#include <QSettings>
#include <QString>

#include "ui/qt_text.h"

namespace torvane::ui {
namespace {

QString g_registry_root;

QString Address(std::string_view section, std::string_view key) {
  return Q(section) + QLatin1Char('/') + Q(key);
}

}  // namespace

std::unique_ptr<QSettings> OpenSettings(std::string_view application) {
#ifdef _WIN32
  // Named by organization alone, Qt would keep them under
  // ...\Software\<application>\OrganizationDefaults: the key is named whole.
  const QString root =
      g_registry_root.isEmpty() ? QStringLiteral("HKEY_CURRENT_USER\\Software") : g_registry_root;
  return std::make_unique<QSettings>(root + QLatin1Char('\\') + Q(application),
                                     QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, Q(application));
#endif
}

void OverrideRegistryRoot(const QString& key) { g_registry_root = key; }

std::string QtSettingsStore::GetSetting(std::string_view application, std::string_view section,
                                        std::string_view key, std::string_view fallback) const {
  const QVariant value = OpenSettings(application)->value(Address(section, key));
  if (!value.isValid()) return std::string(fallback);
  return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(std::string_view application, std::string_view section,
                                  std::string_view key, std::string_view value) {
  const auto settings = OpenSettings(application);
  settings->setValue(Address(section, key), Q(value));
  settings->sync();
}

}  // namespace torvane::ui
