#include "ui/event_table.h"

#include <new>
#include <string>

#include "ui/allocation_failure.h"

namespace lirrevo::ui {

EventTable::EventTable(std::vector<EventBinding> bindings, FatalErrorFn fatal)
    : bindings_(std::move(bindings)), fatal_(std::move(fatal)) {}

void EventTable::RaiseEvent(std::string_view source, EventKind event) {
  if (Suspended()) return;
  const EventBinding* binding = Find(source, event);
  if (binding == nullptr || !binding->handler) return;
  ResetFailedAllocationSize();
  try {
    binding->handler();
  } catch (const std::bad_alloc&) {
    if (!fatal_) throw;
    ReportOutOfMemory();
  }
}

void EventTable::ReportOutOfMemory() {
  Suspend();
  if (!fatal_) return;
  std::string message;
  try {
    message = AllocationFailureMessage(FailedAllocationSize());
  } catch (const std::bad_alloc&) {
    message = AllocationFailureMessage(0);  // short enough to need no allocation
  }
  fatal_(message, 0);
}

const EventBinding* EventTable::Find(std::string_view source, EventKind event) const {
  for (const EventBinding& binding : bindings_) {
    if (binding.event == event && binding.source == source) return &binding;
  }
  return nullptr;
}

}  // namespace lirrevo::ui
