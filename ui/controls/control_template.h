// What a control is made from: its type, place, flags and settings, as the
// window's template gives them.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace lirrevo::ui {

// A property's value: an integer (also colours, 0x00BBGGRR), a boolean or a
// text in GBK.
using PropertyValue = std::variant<std::int32_t, bool, std::string>;

// Stands for the platform's dialog-face colour instead of a colour.
inline constexpr std::int32_t DefaultColor = static_cast<std::int32_t>(0xFF000000u);

enum class ControlType { Label, CommonDlg, WebBrowser, Button, EditBox, GroupBox };

// One of a type's own settings (numbers from 8) with its value.
struct Setting {
  int number = 0;
  PropertyValue value;
};

struct ControlTemplate {
  std::string name = {};  // UTF-8; also the widget's object name
  ControlType type = ControlType::Label;
  std::string parent = {};  // name of the parent control; empty: the window
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool shown = true;
  bool tab_stop = false;
  bool disabled = false;
  int focus_key = 0;  // position in the focus order, ascending
  std::vector<Setting> settings = {};
};

// Whether controls of the type can take the keyboard focus: not a Label,
// GroupBox or CommonDlg.
bool TypeTakesFocus(ControlType type);
// Whether controls of the type are ever shown: all but the CommonDlg.
bool TypeIsShown(ControlType type);

// The setting with this number, or nullptr when the list has none.
const PropertyValue* FindSetting(const std::vector<Setting>& settings, int number);
// Typed reads of a setting; `fallback` when it is missing or of another type.
std::int32_t IntSetting(const std::vector<Setting>& settings, int number, std::int32_t fallback);
bool BoolSetting(const std::vector<Setting>& settings, int number, bool fallback);
std::string TextSetting(const std::vector<Setting>& settings, int number);

}  // namespace lirrevo::ui
