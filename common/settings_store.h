#pragma once

#include <map>
#include <string>
#include <string_view>
#include <tuple>

namespace torvane {

inline constexpr std::string_view kSettingsApplication = "Marrowind";
inline constexpr std::string_view kSettingsSection = "Torvane Software";

// Per-user string values addressed by application, section and key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or `fallback` when the key has none.
  virtual std::string GetSetting(std::string_view application, std::string_view section,
                                 std::string_view key, std::string_view fallback) const = 0;
  // Stores `value` under the key, replacing what was there. Reports no
  // failure: a store that cannot keep a value loses it.
  virtual void SaveSetting(std::string_view application, std::string_view section,
                           std::string_view key, std::string_view value) = 0;
};

// Keeps the values in memory: for tests, and for front ends that persist nothing.
class MemorySettingsStore : public SettingsStore {
 public:
  std::string GetSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view fallback) const override;
  void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override;

  // True when `key` holds a value under any application and section.
  [[nodiscard]] bool Contains(std::string_view key) const;
  // The number of values stored.
  std::size_t size() const { return values_.size(); }

 private:
  using Address = std::tuple<std::string, std::string, std::string>;
  std::map<Address, std::string> values_;
};

}  // namespace torvane
