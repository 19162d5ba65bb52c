// Answers the modal windows that a test's action opens, in order: each step
// waits until the active modal widget is of its type, then acts on it. A
// modal window that appears after the last step is unexpected: it is
// cancelled and the run fails.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace lirrevo::ui::testing {

class ModalScript {
 public:
  // Adds a step for the next modal widget of type T.
  template <typename T>
  ModalScript& On(std::function<void(T*)> act) {
    steps_.push_back([act = std::move(act)](QWidget* modal) {
      T* typed = qobject_cast<T*>(modal);
      if (typed != nullptr) act(typed);
      return typed != nullptr;
    });
    return *this;
  }

  // Runs the action, which returns once its modal windows are closed, while
  // the steps answer them. True when every step ran and nothing unexpected
  // appeared; when the steps do not come to an end within the time, the
  // modal windows are cancelled.
  bool Run(const std::function<void()>& action, int timeout_ms = 20000) {
    deadline_ = QDeadlineTimer(timeout_ms);
    running_ = true;
    Schedule();
    action();
    running_ = false;
    return next_ == steps_.size() && !timed_out_ && !unexpected_;
  }

  std::size_t StepsRun() const { return next_; }

 private:
  // Ticks end with the script: the context goes with it.
  void Schedule() {
    QTimer::singleShot(20, &context_, [this] { Tick(); });
  }

  // The next tick is scheduled before a step acts, because acting may open
  // a further modal window and wait in it.
  void Tick() {
    if (!running_) return;
    Schedule();
    if (deadline_.hasExpired()) return CancelAll();
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    if (next_ >= steps_.size()) {
      unexpected_ = true;
      return CancelAll();
    }
    const std::size_t current = next_++;
    if (!steps_[current](modal)) --next_;
  }

  void CancelAll() {
    if (!unexpected_) timed_out_ = true;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(widget);
      if (dialog != nullptr && dialog->isVisible() && dialog->isModal()) dialog->reject();
    }
  }

  std::vector<std::function<bool(QWidget*)>> steps_;
  std::size_t next_ = 0;
  bool running_ = false;
  bool timed_out_ = false;
  bool unexpected_ = false;
  QDeadlineTimer deadline_;
  QObject context_;
};

}  // namespace lirrevo::ui::testing
