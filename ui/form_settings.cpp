#include "ui/form_settings.h"

#include "common/case_mapping.h"
#include "common/text.h"
#include "ui/numeric_text.h"

namespace torvane::ui {

std::string FormSettings::ReadText(const SettingKey& setting) const {
  return ReadText(setting, setting.fallback);
}

std::string FormSettings::ReadText(const SettingKey& setting, std::string_view fallback) const {
  return store_.GetSetting(kSettingsApplication, kSettingsSection, setting.key, fallback);
}

bool FormSettings::ReadOption(const SettingKey& setting) const {
  const std::string text(TrimBlanks(ReadText(setting)));
  const std::string word = LowerCase(text);
  if (word == "true") return true;
  if (word == "false") return false;
  if (const auto value = NumericValue(text)) return *value != 0;
  throw UnreadableSetting("Type mismatch");
}

std::int16_t FormSettings::ReadListIndex(const SettingKey& setting) const {
  const auto value = ComparedValue(ReadText(setting));
  if (!value) throw UnreadableSetting("Type mismatch");
  if (*value < -32768 || *value > 32767) throw UnreadableSetting("Overflow");
  return static_cast<std::int16_t>(*value);
}

void FormSettings::WriteText(const SettingKey& setting, std::string_view value) {
  store_.SaveSetting(kSettingsApplication, kSettingsSection, setting.key, value);
}

void FormSettings::WriteOption(const SettingKey& setting, bool selected) {
  WriteText(setting, selected ? "True" : "False");
}

void FormSettings::WriteListIndex(const SettingKey& setting, int index) {
  WriteText(setting, std::to_string(index));
}

}  // namespace torvane::ui
