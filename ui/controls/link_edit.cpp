#include "ui/controls/link_edit.h"

#include <QKeyEvent>
#include <QMimeData>

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

void LinkEdit::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier && !isReadOnly()) {
    insertPlainText(QStringLiteral("\t"));
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void LinkEdit::insertFromMimeData(const QMimeData* source) {
  // Qt's own way builds a document of the text and then copies it into the
  // box block by block, which doubles the cost of a paste of a million lines.
  // The text inserted as typed gives the same lines with half the work.
  if (source == nullptr || !source->hasText() || isReadOnly()) {
    return QPlainTextEdit::insertFromMimeData(source);
  }
  insertPlainText(source->text());
  ensureCursorVisible();
}

void LinkEdit::Report() {
  if (depth_ > 0 || !changed_) return;
  changed_ = false;
  if (on_change_) on_change_();
}

}  // namespace lirrevo::ui
