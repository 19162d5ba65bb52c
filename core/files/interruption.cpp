#include "core/files/interruption.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace lirrevo {
namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// The names live in blocks that are allocated once and never move, so that
// the handler can walk them while the program adds and removes names.
constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kMaxBlocks = 256;
constexpr std::size_t kNoMark = static_cast<std::size_t>(-1);

struct Block {
  std::array<std::atomic<char*>, kBlockSize> names{};
};

std::array<std::atomic<Block*>, kMaxBlocks> g_blocks{};
std::atomic<std::size_t> g_used{0};  // marks below this may hold a name
std::atomic<int> g_holds{0};
std::atomic<int> g_pending{0};  // the first signal that came during a hold

std::mutex g_marks_mutex;  // the program's side only: the handler never takes it
std::vector<std::size_t> g_free_marks;

std::atomic<char*>& Slot(std::size_t mark) {
  return g_blocks[mark / kBlockSize].load()->names[mark % kBlockSize];
}

void RemoveNamed() {
  const std::size_t used = g_used.load();
  for (std::size_t mark = 0; mark < used; ++mark) {
    if (g_blocks[mark / kBlockSize].load() == nullptr) break;
    if (char* name = Slot(mark).load()) unlink(name);
  }
}

// Ends the process by sig as its default action would, the named files gone.
void EndBy(int sig) {
  RemoveNamed();
  signal(sig, SIG_DFL);
  raise(sig);  // sig is blocked in a handler: it acts as the handler returns
}

extern "C" void OnSignal(int sig) {
  const int error = errno;
  if (g_holds.load() > 0) {
    int none = 0;
    g_pending.compare_exchange_strong(none, sig);
  } else {
    EndBy(sig);
  }
  errno = error;
}

// Takes over each of the signals whose action is still the default, once.
void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int sig : kSignals) {
      struct sigaction old {};
      if (sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
          old.sa_handler != SIG_DFL) {
        continue;
      }
      struct sigaction action {};
      action.sa_handler = OnSignal;
      action.sa_flags = SA_RESTART;
      sigemptyset(&action.sa_mask);
      sigaction(sig, &action, nullptr);
    }
  });
}

}  // namespace

std::size_t RemoveAtInterruption(const std::string& path) {
  Install();
  const std::lock_guard<std::mutex> lock(g_marks_mutex);
  std::size_t mark = g_used.load();
  if (!g_free_marks.empty()) {
    mark = g_free_marks.back();
    g_free_marks.pop_back();
  } else if (mark / kBlockSize >= kMaxBlocks) {
    return kNoMark;  // more names than any run makes: this one is not removed
  } else {
    if (g_blocks[mark / kBlockSize].load() == nullptr) g_blocks[mark / kBlockSize] = new Block;
    g_used.store(mark + 1);
  }
  Slot(mark).store(strdup(path.c_str()));
  return mark;
}

void ForgetAtInterruption(std::size_t mark) {
  if (mark == kNoMark) return;
  // Held, so that this thread's handler never reads a name being freed.
  const InterruptionHold hold;
  const std::lock_guard<std::mutex> lock(g_marks_mutex);
  std::free(Slot(mark).exchange(nullptr));
  g_free_marks.push_back(mark);
}

InterruptionHold::InterruptionHold() {
  Install();
  sigset_t held;
  sigemptyset(&held);
  for (const int sig : kSignals) sigaddset(&held, sig);
  g_holds.fetch_add(1);
  pthread_sigmask(SIG_BLOCK, &held, &old_mask_);
}

InterruptionHold::~InterruptionHold() {
  // A signal blocked in this thread reaches the handler as the mask is put
  // back, once the count says no hold is left.
  g_holds.fetch_sub(1);
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  if (g_holds.load() != 0) return;
  const int sig = g_pending.exchange(0);
  if (sig != 0) EndBy(sig);
}

}  // namespace lirrevo
