#include "common/settings_store.h"

namespace torvane {

std::string MemorySettingsStore::GetSetting(std::string_view application, std::string_view section,
                                            std::string_view key, std::string_view fallback) const {
  auto it = values_.find(Address(application, section, key));
  return it == values_.end() ? std::string(fallback) : it->second;
}

void MemorySettingsStore::SaveSetting(std::string_view application, std::string_view section,
                                      std::string_view key, std::string_view value) {
  values_[Address(application, section, key)] = std::string(value);
}

bool MemorySettingsStore::Contains(std::string_view key) const {
  for (const auto& [address, value] : values_)
    if (std::get<2>(address) == key) return true;
  return false;
}

}  // namespace torvane
