// Colours as the template holds them (0x00BBGGRR, or DefaultColor).
#pragma once

#include <cstdint>

class QColor;

namespace lirrevo::ui {

// The colour of a 0x00BBGGRR value; `platform` for DefaultColor (the
// dialog-face colour, which only the caller's palette knows).
QColor SettingColor(std::int32_t value, const QColor& platform);

}  // namespace lirrevo::ui
