#include "ui/controls/control_template.h"

namespace lirrevo::ui {

bool TypeTakesFocus(ControlType type) {
  return type == ControlType::EditBox || type == ControlType::Button ||
         type == ControlType::WebBrowser;
}

bool TypeIsShown(ControlType type) { return type != ControlType::CommonDlg; }

const PropertyValue* FindSetting(const std::vector<Setting>& settings, int number) {
  for (const Setting& setting : settings) {
    if (setting.number == number) return &setting.value;
  }
  return nullptr;
}

std::int32_t IntSetting(const std::vector<Setting>& settings, int number, std::int32_t fallback) {
  const PropertyValue* value = FindSetting(settings, number);
  const auto* integer = value ? std::get_if<std::int32_t>(value) : nullptr;
  return integer ? *integer : fallback;
}

bool BoolSetting(const std::vector<Setting>& settings, int number, bool fallback) {
  const PropertyValue* value = FindSetting(settings, number);
  const auto* boolean = value ? std::get_if<bool>(value) : nullptr;
  return boolean ? *boolean : fallback;
}

std::string TextSetting(const std::vector<Setting>& settings, int number) {
  const PropertyValue* value = FindSetting(settings, number);
  const auto* text = value ? std::get_if<std::string>(value) : nullptr;
  return text ? *text : std::string();
}

}  // namespace lirrevo::ui
