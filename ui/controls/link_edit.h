// The edit box's widget: a plain-text edit that reports each change once.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
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
  // Called when a dropped file could not be read as a list; nothing was inserted.
  void SetDropFailureHandler(std::function<void()> handler) {
    on_drop_failure_ = std::move(handler);
  }

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // Tab moves the focus on; Ctrl+Tab types the tab instead.
  void keyPressEvent(QKeyEvent* event) override;
  // Pasted or dropped text goes straight into the document; dropped files
  // give their lines, not their addresses.
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void Report();
  void InsertFiles(const QStringList& paths);

  std::function<void()> on_change_;
  std::function<void()> on_drop_failure_;
  int depth_ = 0;  // events being handled
  bool changed_ = false;
  bool dropped_nothing_ = false;  // the dropped files gave no text: no change to report
};

}  // namespace lirrevo::ui
