// What the window does with a key press before the focused control sees it.
#pragma once

namespace lirrevo::ui {

enum class KeyAction {
  kPass,           // the focused control handles the key as usual
  kClose,          // close the window as its close box does
  kFocusNext,      // next control in focus order, wrapping around
  kFocusPrevious,  // previous control in focus order, wrapping around
  kSwallow,        // nothing happens
};

struct KeyPress {
  int key = 0;  // Qt::Key
  bool shift = false;
  bool control = false;
  bool alt = false;
  bool meta = false;
};

// The window's settings and the focused control's wishes that decide.
struct KeyContext {
  bool esc_closes = true;
  bool enter_moves_focus = false;
  bool focused_wants_enter = false;
  bool focused_wants_escape = false;
};

// Escape alone closes (unless the focused control wants it), Alt+F4 closes,
// Enter alone goes to a control that wants it and otherwise does nothing
// (or moves the focus where EnterMovesFocus is set), Tab and Shift+Tab move
// the focus, F1 does nothing; every other key, other Tab combinations
// included, passes. The main and the keypad Enter key are alike.
KeyAction ClassifyKey(const KeyPress& press, const KeyContext& context);

}  // namespace lirrevo::ui
