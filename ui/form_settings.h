#pragma once

// Every value the window keeps between runs, as one table: key, stored form
// and default. The widgets reach the store only through FormSettings.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/settings_store.h"

namespace torvane::ui {

enum class StoredForm {
  Text,       // the text as shown or typed
  Option,     // "True" / "False"; read back also from numbers (non-zero: selected)
  ListIndex,  // decimal text, read back as a 16-bit signed integer
};

struct SettingKey {
  std::string_view key;
  StoredForm form;
  std::string_view fallback;  // the default when the key is missing
};

namespace setting {
// Its default is the desktop folder, which only the window can work out.
inline constexpr SettingKey kOutputFolder{"Output Folder", StoredForm::Text, ""};
inline constexpr SettingKey kLow{"Low", StoredForm::Text, "0"};
inline constexpr SettingKey kHigh{"High", StoredForm::Text, "255"};
inline constexpr SettingKey kText3{"Text3", StoredForm::Text, "6"};
inline constexpr std::array<SettingKey, 9> kOptions{{
    {"Option1", StoredForm::Option, "1"},
    {"Option2", StoredForm::Option, "0"},
    {"Option3", StoredForm::Option, "0"},
    {"Option4", StoredForm::Option, "1"},
    {"Option5", StoredForm::Option, "0"},
    {"Option6", StoredForm::Option, "1"},
    {"Option7", StoredForm::Option, "0"},
    {"Option8", StoredForm::Option, "1"},
    {"Option9", StoredForm::Option, "0"},
}};
inline constexpr SettingKey kCombo1{"Combo1", StoredForm::ListIndex, "0"};
inline constexpr SettingKey kCombo2{"Combo2", StoredForm::ListIndex, "0"};
inline constexpr SettingKey kLastFolderDot{"LastFolderDot", StoredForm::Text, ""};
}  // namespace setting

// A stored value that cannot be read in its form. Thrown inside the window
// only: Form_Load reports it with the error box and goes on.
class UnreadableSetting : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FormSettings {
 public:
  explicit FormSettings(SettingsStore& store) : store_(store) {}

  // The stored text, or the setting's default.
  std::string ReadText(const SettingKey& setting) const;
  // For a default that is worked out at the time of reading.
  std::string ReadText(const SettingKey& setting, std::string_view fallback) const;
  bool ReadOption(const SettingKey& setting) const;             // throws UnreadableSetting
  std::int16_t ReadListIndex(const SettingKey& setting) const;  // throws UnreadableSetting

  // Store the value in the setting's form at once; nothing is reported.
  void WriteText(const SettingKey& setting, std::string_view value);
  void WriteOption(const SettingKey& setting, bool selected);
  void WriteListIndex(const SettingKey& setting, int index);

 private:
  SettingsStore& store_;
};

}  // namespace torvane::ui
