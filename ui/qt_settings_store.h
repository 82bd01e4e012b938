#pragma once

#include "common/settings_store.h"

namespace torvane::ui {

// The per-user store of the desktop: one QSettings file per application
// ("Marrowind.conf" in the user's configuration folder), one group per
// section. Every write reaches the disk before SaveSetting returns, so that a
// program ended in the middle of a run keeps every change.
class QtSettingsStore : public SettingsStore {
 public:
  std::string GetSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view fallback) const override;
  void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override;
};

}  // namespace torvane::ui
