#pragma once

#include <QString>
#include <memory>

#include "common/settings_store.h"

class QSettings;

namespace torvane::ui {

// The per-user store of the desktop, one group per section: the QSettings file
// "Marrowind.conf" in the user's configuration folder, or on Windows the
// registry key HKEY_CURRENT_USER\Software\Marrowind with one key per section
// and one string value per key. Every write reaches the disk before
// SaveSetting returns, so that a program ended in the middle of a run keeps
// every change.
class QtSettingsStore : public SettingsStore {
 public:
  std::string GetSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view fallback) const override;
  void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override;
};

// The settings of one application, as the store reads and writes them.
std::unique_ptr<QSettings> OpenSettings(std::string_view application);

// Windows only: the registry key that stands in for HKEY_CURRENT_USER\Software,
// for tests (QSettings::setPath moves only files); "" restores it.
void OverrideRegistryRoot(const QString& key);

}  // namespace torvane::ui
