// The fixed description of the window and its controls, from which the
// window is built once at start-up.
#pragma once

#include <string_view>
#include <vector>

#include "ui/controls/control_template.h"

namespace lirrevo::ui {

struct WindowTemplate {
  int left = 0;  // screen coordinates of the outer frame
  int top = 0;
  int width = 0;  // outer size, frame and title bar included
  int height = 0;
  std::vector<Setting> settings = {};
  std::vector<ControlTemplate> controls = {};  // in control order: creation and stacking
};

// The controls' names as the handlers address them.
inline constexpr std::string_view LabelName = "标签_提示";
inline constexpr std::string_view DialogName = "通用对话框1";
inline constexpr std::string_view WebPanelName = "互联网浏览器1";
inline constexpr std::string_view ButtonName = "按钮1";
inline constexpr std::string_view EditBoxName = "编辑框1";
inline constexpr std::string_view GroupBoxName = "分组框1";

// The program's one window, built on first use.
const WindowTemplate& StartupWindowTemplate();

}  // namespace lirrevo::ui
