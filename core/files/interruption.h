// What SIGINT, SIGTERM and SIGHUP do to files being written. A signal whose
// action is the default still ends the process, as that signal, but first
// removes the temporary files named here; inside a hold it waits until the
// hold is over, so that files are never left half put in place. Signals the
// program handles itself or ignores keep their own action (a hold then
// blocks them in the holding thread).
#pragma once

#include <csignal>
#include <cstddef>
#include <string>

namespace lirrevo {

// Marks the file at path for removal by the handler; the result goes back to
// ForgetAtInterruption once the file is renamed or removed. Paths are kept
// for the whole run, so a relative one must not be taken after a chdir.
std::size_t RemoveAtInterruption(const std::string& path);
void ForgetAtInterruption(std::size_t mark);

// Holds SIGINT, SIGTERM and SIGHUP while it lives; the first that arrived
// meanwhile acts when the last hold ends. Holds nest.
class InterruptionHold {
 public:
  InterruptionHold();
  ~InterruptionHold();
  InterruptionHold(const InterruptionHold&) = delete;
  InterruptionHold& operator=(const InterruptionHold&) = delete;

 private:
  sigset_t old_mask_;
};

}  // namespace lirrevo
