#include "ui/controls/control_template.h"

namespace lirrevo::ui {
namespace {

template <typename T>
T TypedSetting(const std::vector<Setting>& settings, int number, T fallback) {
  const PropertyValue* value = FindSetting(settings, number);
  const T* typed = value ? std::get_if<T>(value) : nullptr;
  return typed ? *typed : fallback;
}

}  // namespace

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
  return TypedSetting(settings, number, fallback);
}

bool BoolSetting(const std::vector<Setting>& settings, int number, bool fallback) {
  return TypedSetting(settings, number, fallback);
}

std::string TextSetting(const std::vector<Setting>& settings, int number) {
  return TypedSetting(settings, number, std::string());
}

}  // namespace lirrevo::ui
