#include "ui/controls/link_edit.h"

namespace lirrevo::ui {

LinkEdit::LinkEdit(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    changed_ = true;
    Report();
  });
}

void LinkEdit::ReplaceText(const QString& text) {
  ++depth_;
  setPlainText(text);
  --depth_;
  changed_ = true;
  Report();
}

bool LinkEdit::event(QEvent* event) {
  ++depth_;
  const bool handled = QPlainTextEdit::event(event);
  --depth_;
  Report();
  return handled;
}

bool LinkEdit::viewportEvent(QEvent* event) {
  ++depth_;
  const bool handled = QPlainTextEdit::viewportEvent(event);
  --depth_;
  Report();
  return handled;
}

void LinkEdit::Report() {
  if (depth_ > 0 || !changed_) return;
  changed_ = false;
  if (on_change_) on_change_();
}

}  // namespace lirrevo::ui
