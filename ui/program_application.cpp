#include "ui/program_application.h"

#include <new>

#include "ui/allocation_failure.h"

namespace lirrevo::ui {

bool ProgramApplication::notify(QObject* receiver, QEvent* event) {
  if (!out_of_memory_) return QApplication::notify(receiver, event);
  ResetFailedAllocationSize();
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    out_of_memory_();
    throw;  // a handler that returns leaves the program as it was without one
  }
}

}  // namespace lirrevo::ui
