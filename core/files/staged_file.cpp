#include "core/files/staged_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "core/files/interruption.h"

namespace lirrevo {
namespace {

// Staged files with an open descriptor, in the whole process.
std::atomic<long> g_open_staged{0};

bool ShortOfDescriptors() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  return static_cast<rlim_t>(g_open_staged.load()) >= limit.rlim_cur / 4;
}

// A name in folder that no file is likely to have: .lirrevo-XXXXXX.
std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string name = folder + "/.lirrevo-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

// Tries make(name) with new temporary names in folder while the name is
// taken; the name made, marked for removal at an interruption (mark), or
// false. The name is marked before a signal can act.
template <typename Make>
bool MakeNamed(const std::string& folder, std::string& name, std::size_t& mark, const Make& make) {
  const InterruptionHold hold;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(folder);
    if (make(name)) {
      mark = RemoveAtInterruption(name);
      return true;
    }
    if (errno != EEXIST) break;
  }
  name.clear();
  return false;
}

// A nameless file is given a name through its /proc entry.
bool CanNameNamelessFiles() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

}  // namespace

bool StagedFile::Create(const std::string& folder) {
  Remove();
  folder_ = folder;
  if (CanNameNamelessFiles()) {
    fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return Opened();
    if (errno != EOPNOTSUPP && errno != EISDIR) return false;  // EISDIR: no O_TMPFILE at all
  }
  const auto create = [this](const std::string& name) {
    fd_ = open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOCTTY, 0600);
    return fd_ >= 0;
  };
  return MakeNamed(folder, name_, mark_, create) && Opened();
}

bool StagedFile::Name() {
  if (!name_.empty()) return true;
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return MakeNamed(folder_, name_, mark_, [&self](const std::string& name) {
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  });
}

void StagedFile::ParkIfShortOfDescriptors() {
  if (fd_ >= 0 && ShortOfDescriptors() && Name()) CloseFd();
}

bool StagedFile::Sync() {
  if (fd_ >= 0) return fsync(fd_) == 0;
  const int fd = open(name_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

int StagedFile::Reader() {
  if (fd_ < 0 && !name_.empty()) {
    fd_ = open(name_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ >= 0) Opened();
  }
  return fd_;
}

void StagedFile::Renamed() {
  ForgetName();
  CloseFd();
}

void StagedFile::Remove() {
  CloseFd();
  if (!name_.empty()) unlink(name_.c_str());
  ForgetName();
}

bool StagedFile::Opened() {
  g_open_staged.fetch_add(1);
  return true;
}

void StagedFile::CloseFd() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  g_open_staged.fetch_sub(1);
}

void StagedFile::ForgetName() {
  if (name_.empty()) return;
  ForgetAtInterruption(mark_);
  name_.clear();
}

}  // namespace lirrevo
