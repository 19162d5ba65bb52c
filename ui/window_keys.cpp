#include "ui/window_keys.h"

#include <Qt>

namespace lirrevo::ui {
namespace {

bool Alone(const KeyPress& p) { return !p.shift && !p.control && !p.alt && !p.meta; }
bool OnlyAlt(const KeyPress& p) { return p.alt && !p.shift && !p.control && !p.meta; }

KeyAction ClassifyTab(const KeyPress& press) {
  // Only Tab and Shift+Tab move the focus; Ctrl+Tab and the rest belong to
  // the control (the multi-line box types a tab for Ctrl+Tab).
  if (press.control || press.alt || press.meta) return KeyAction::kPass;
  const bool backward = press.key == Qt::Key_Backtab || press.shift;
  return backward ? KeyAction::kFocusPrevious : KeyAction::kFocusNext;
}

KeyAction ClassifyEnter(const KeyContext& context) {
  if (context.focused_wants_enter) return KeyAction::kPass;
  return context.enter_moves_focus ? KeyAction::kFocusNext : KeyAction::kSwallow;
}

}  // namespace

KeyAction ClassifyKey(const KeyPress& press, const KeyContext& context) {
  switch (press.key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return ClassifyTab(press);
    case Qt::Key_Escape:
      if (!Alone(press) || context.focused_wants_escape || !context.esc_closes) break;
      return KeyAction::kClose;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!Alone(press)) break;
      return ClassifyEnter(context);
    case Qt::Key_F4:
      if (OnlyAlt(press)) return KeyAction::kClose;
      break;
    case Qt::Key_F1:
      if (Alone(press)) return KeyAction::kSwallow;
      break;
    default:
      break;
  }
  return KeyAction::kPass;
}

}  // namespace lirrevo::ui
