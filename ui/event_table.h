// The binding of events to handlers, and their delivery.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::ui {

enum class EventKind {
  kCreated,         // the window: all controls exist, the window is not shown yet
  kContentChanged,  // the edit box: its text changed
  kClicked,         // the button
  kMoved,           // the window
  kResized,         // the window; also minimised and restored
  kFirstActivated,  // the window, once
  kActivated,
  kDeactivated,
  kClosingQuery,  // the window is asked to close; the first of two queries
  kFinalClosingQuery,
  kDestroyed,  // the window goes away
};

// The window as the source of an event; controls are sources by their names.
inline constexpr std::string_view WindowSource = "";

// A handler takes nothing and gives nothing; an empty one leaves the event unbound.
struct EventBinding {
  std::string source;
  EventKind event = EventKind::kCreated;
  std::function<void()> handler;
};

// Reports a fatal error (GBK message, error number).
using FatalErrorFn = std::function<void(std::string_view message, int error_number)>;

class EventTable {
 public:
  // A handler that runs out of memory suspends the table and hands the
  // message to `fatal` (start-up gives the fatal-error box); without `fatal`
  // the std::bad_alloc goes on to the caller.
  explicit EventTable(std::vector<EventBinding> bindings, FatalErrorFn fatal = {});
  EventTable(const EventTable&) = delete;
  EventTable& operator=(const EventTable&) = delete;

  const std::vector<EventBinding>& Bindings() const { return bindings_; }

  // Runs the handler bound to this source and event, if any and unless events
  // are suspended, and returns when it has returned. Exhausted memory in the
  // handler is fatal, its message naming the size asked for, where it is known.
  void RaiseEvent(std::string_view source, EventKind event);

  // Memory ran out: suspends the table and hands the message, which names
  // the size asked for where it is known, to `fatal`. Without `fatal` the
  // table is only suspended.
  void ReportOutOfMemory();

  // From now on no event reaches a handler.
  void Suspend() { ++suspension_count_; }
  bool Suspended() const { return suspension_count_ > 0; }

 private:
  const EventBinding* Find(std::string_view source, EventKind event) const;

  std::vector<EventBinding> bindings_;
  FatalErrorFn fatal_;
  int suspension_count_ = 0;
};

}  // namespace lirrevo::ui
