// The program's application object: Qt's, with one guard around every event.
#pragma once

#include <QApplication>
#include <functional>

namespace lirrevo::ui {

// Memory can run out inside any of the toolkit's event handlers, not only in
// the system's own (a paste into the box, the box's count keeping up with
// it): there Qt's containers throw std::bad_alloc, which would end the
// process with no word. Every event goes through notify, so that is where it
// is caught and handed to `out_of_memory`, which must not return (it reports
// the fatal error); without one the exception goes on.
class ProgramApplication : public QApplication {
 public:
  using QApplication::QApplication;

  void SetOutOfMemoryHandler(std::function<void()> handler) { out_of_memory_ = std::move(handler); }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void()> out_of_memory_;
};

}  // namespace lirrevo::ui
