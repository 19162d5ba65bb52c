// Waiting for something to happen to the files of a folder (inotify), so that
// a test acts at a known step of a program it runs, not after a guessed delay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lirrevo::test {

class FolderEvents {
 public:
  // Watches folder for the inotify events in mask (IN_CREATE, IN_MODIFY, ...)
  // from now on.
  FolderEvents(const std::string& folder, std::uint32_t mask);
  ~FolderEvents();
  FolderEvents(const FolderEvents&) = delete;
  FolderEvents& operator=(const FolderEvents&) = delete;

  // Waits for an event on a name that starts with prefix and returns the
  // name; throws std::runtime_error when none comes within a minute.
  std::string WaitFor(std::string_view prefix);

 private:
  int fd_ = -1;
};

}  // namespace lirrevo::test
