#include "tests/support/file_events.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lirrevo::test {

FolderEvents::FolderEvents(const std::string& folder, std::uint32_t mask)
    : fd_(inotify_init1(IN_CLOEXEC)) {
  if (fd_ < 0 || inotify_add_watch(fd_, folder.c_str(), mask) < 0) {
    throw std::runtime_error("inotify on " + folder + ": " + std::strerror(errno));
  }
}

FolderEvents::~FolderEvents() { close(fd_); }

std::string FolderEvents::WaitFor(std::string_view prefix) {
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    pollfd ready{fd_, POLLIN, 0};
    const int polled = poll(&ready, 1, 60000);
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) throw std::runtime_error("no event for '" + std::string(prefix) + "'");
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      const std::string name = event->len != 0 ? event->name : "";
      if (name.starts_with(prefix)) return name;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

}  // namespace lirrevo::test
