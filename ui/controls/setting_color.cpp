#include "ui/controls/setting_color.h"

#include <QColor>

#include "ui/controls/control_template.h"

namespace lirrevo::ui {

QColor SettingColor(std::int32_t value, const QColor& platform) {
  if (value == DefaultColor) return platform;
  const auto bgr = static_cast<std::uint32_t>(value);
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace lirrevo::ui
