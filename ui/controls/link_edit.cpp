#include "ui/controls/link_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <utility>

#include "ui/controls/dropped_file.h"

namespace lirrevo::ui {
namespace {

// The local files that the data names; empty unless it names only such.
QStringList LocalFiles(const QMimeData* source) {
  QStringList paths;
  if (source == nullptr || !source->hasUrls()) return paths;
  for (const QUrl& url : source->urls()) {
    if (!url.isLocalFile()) return {};
    paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

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
  // Qt's drop wraps the insertion in an edit block, which signals a change
  // even when nothing went in.
  if (std::exchange(dropped_nothing_, false)) changed_ = false;
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

bool LinkEdit::canInsertFromMimeData(const QMimeData* source) const {
  return !LocalFiles(source).isEmpty() || QPlainTextEdit::canInsertFromMimeData(source);
}

void LinkEdit::insertFromMimeData(const QMimeData* source) {
  if (const QStringList files = LocalFiles(source); !files.isEmpty() && !isReadOnly()) {
    return InsertFiles(files);
  }
  // Qt's own way builds a document of the text and then copies it into the
  // box block by block, which doubles the cost of a paste of a million lines.
  // The text inserted as typed gives the same lines with half the work.
  if (source == nullptr || !source->hasText() || isReadOnly()) {
    return QPlainTextEdit::insertFromMimeData(source);
  }
  insertPlainText(source->text());
  ensureCursorVisible();
}

void LinkEdit::InsertFiles(const QStringList& paths) {
  QString text;
  for (const QString& path : paths) {
    std::optional<QString> lines = DroppedFileText(path);
    if (!lines) {
      dropped_nothing_ = true;
      if (on_drop_failure_) on_drop_failure_();
      return;
    }
    if (text.isEmpty()) {
      text = std::move(*lines);  // one file, the usual drop, is not copied
      continue;
    }
    // One file's last line does not run into the next file's first.
    if (!text.endsWith(u'\n') && !text.endsWith(u'\r')) text += u'\n';
    text += *lines;
  }
  if (text.isEmpty()) {
    dropped_nothing_ = true;
    return;
  }
  insertPlainText(text);
  ensureCursorVisible();
}

void LinkEdit::Report() {
  if (depth_ > 0 || !changed_) return;
  changed_ = false;
  if (on_change_) on_change_();
}

}  // namespace lirrevo::ui
