#include "ui/panel/panel_engine.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/prctl.h>

#include <filesystem>
#endif

#if LIRREVO_WEBENGINE
#include <QWebEngineProfile>
#endif

namespace lirrevo::ui {
namespace {

constexpr std::string_view kNoSandbox = "--no-sandbox";
constexpr char kFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

using Clock = std::chrono::steady_clock;

// The processes that descend from the program, as they are now.
std::vector<pid_t> Descendants() {
  std::vector<pid_t> found;
#if defined(__linux__)
  std::multimap<pid_t, pid_t> children;  // parent, child
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // pid (name) state ppid ...: the name may hold spaces and parentheses.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) != 2) continue;
    children.emplace(static_cast<pid_t>(parent), static_cast<pid_t>(std::stol(name)));
  }
  std::vector<pid_t> parents{getpid()};
  while (!parents.empty()) {
    const pid_t parent = parents.back();
    parents.pop_back();
    for (auto [it, end] = children.equal_range(parent); it != end; ++it) {
      found.push_back(it->second);
      parents.push_back(it->second);
    }
  }
#endif
  return found;
}

// Collects the children that have ended until none is left; false when
// some still run at the deadline.
bool ReapChildren(Clock::time_point deadline) {
  for (;;) {
    const pid_t ended = waitpid(-1, nullptr, WNOHANG);
    if (ended > 0) continue;
    if (ended < 0 && errno != EINTR) return true;  // no child left
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

#if LIRREVO_WEBENGINE
QWebEngineProfile* panel_profile = nullptr;  // from the engine's start
#endif

}  // namespace

std::string EngineFlags(std::string_view flags, bool as_root) {
  std::string result(flags);
  if (!as_root) return result;
  for (std::size_t at = result.find(kNoSandbox); at != std::string::npos;
       at = result.find(kNoSandbox, at + 1)) {
    const std::size_t end = at + kNoSandbox.size();
    const bool starts_word = at == 0 || result[at - 1] == ' ';
    const bool ends_word = end == result.size() || result[end] == ' ';
    if (starts_word && ends_word) return result;
  }
  if (!result.empty()) result += ' ';
  return result.append(kNoSandbox);
}

void PreparePanelEngine() {
#if LIRREVO_WEBENGINE
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
#if defined(__linux__)
  // A helper that ends before its own helpers leaves them to the program.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
#endif
}

void StartPanelEngine() {
#if LIRREVO_WEBENGINE
  PanelProfile();
#endif
}

void StopPanelEngine() {
#if LIRREVO_WEBENGINE
  delete panel_profile;
  panel_profile = nullptr;
#endif
}

void EndHelperProcesses() {
  for (const pid_t helper : Descendants()) kill(helper, SIGTERM);
  if (ReapChildren(Clock::now() + std::chrono::seconds(1))) return;
  for (const pid_t helper : Descendants()) kill(helper, SIGKILL);
  ReapChildren(Clock::now() + std::chrono::seconds(5));
}

#if LIRREVO_WEBENGINE
QWebEngineProfile* PanelProfile() {
  if (panel_profile == nullptr) {
    // The engine reads its flags once, when it starts with the first profile.
    const QByteArray flags = qgetenv(kFlagsVariable);
    qputenv(kFlagsVariable,
            QByteArray::fromStdString(EngineFlags(flags.toStdString(), geteuid() == 0)));
    panel_profile = new QWebEngineProfile(QCoreApplication::instance());
  }
  return panel_profile;
}
#endif

}  // namespace lirrevo::ui
