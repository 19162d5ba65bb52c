// The edit box's widget: a plain-text edit that reports each change once.
#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace lirrevo::ui {

// Qt may signal one user action as several text changes (Enter on an empty
// line changes the block format, then inserts). Changes made while the
// widget handles one event are reported once, when it has handled it.
class LinkEdit : public QPlainTextEdit {
 public:
  explicit LinkEdit(QWidget* parent);

  // Called once per change of the text; empty: nobody is told.
  void SetChangeHandler(std::function<void()> handler) { on_change_ = std::move(handler); }
  // Replaces the whole text: exactly one change.
  void ReplaceText(const QString& text);

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // Tab moves the focus on; Ctrl+Tab types the tab instead.
  void keyPressEvent(QKeyEvent* event) override;
  // Pasted or dropped text goes straight into the document.
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void Report();

  std::function<void()> on_change_;
  int depth_ = 0;  // events being handled
  bool changed_ = false;
};

}  // namespace lirrevo::ui
