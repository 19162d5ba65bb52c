#include "core/file_output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace lirrevo {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The process's file-creation mask, read without changing it: umask() would
// briefly change it for every thread of the process.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  unsigned value = 0;
  for (std::string key; status >> key;) {
    if (key == "Umask:" && status >> std::oct >> value) return static_cast<mode_t>(value);
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

bool Refuse(int error) {
  errno = error;
  return false;
}

// Closes fd; a close error fails a write that had succeeded, and an earlier
// failure keeps its own errno.
bool Close(int fd, bool ok) {
  const int error = errno;
  if (close(fd) != 0 && ok) return false;
  if (!ok) errno = error;
  return ok;
}

// Opens path for writing if it is still the kind of file that was decided on:
// a regular file, or else a character device or FIFO. EINVAL when something
// else was put there since we looked, which must not be overwritten.
int OpenToWrite(const std::string& path, bool regular) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) == 0) {
    const bool device = S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode);
    if (regular ? S_ISREG(st.st_mode) : device) return fd;
    errno = EINVAL;
  }
  Close(fd, false);
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) return Refuse(EIO);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes to a FIFO or device with SIGPIPE held back, so that a reader that
// goes away gives EPIPE instead of ending the process.
bool WriteAllWithoutSigpipe(int fd, std::string_view bytes) {
  sigset_t pipe_signal, old_mask, pending;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &old_mask);
  sigpending(&pending);
  const bool was_pending = sigismember(&pending, SIGPIPE) == 1;
  const bool ok = WriteAll(fd, bytes);
  const int error = errno;
  if (!ok && error == EPIPE && !was_pending) {
    const timespec no_wait{};
    sigtimedwait(&pipe_signal, nullptr, &no_wait);  // take back the signal our write raised
  }
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  errno = error;
  return ok;
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename itself has already succeeded
  close(fd);
}

// Makes room for new_size bytes before any old byte changes, so that a full
// disk or a size limit fails first. A failed reservation leaves the old size.
bool Reserve(int fd, off_t old_size, off_t new_size) {
  if (new_size <= old_size) return true;  // the old file's blocks hold the new content
  const int error = posix_fallocate(fd, 0, new_size);
  if (error == 0) return true;
  struct stat now {};
  if (fstat(fd, &now) == 0 && now.st_size != old_size) {
    [[maybe_unused]] const int cut = ftruncate(fd, old_size);
  }
  return Refuse(error);
}

// A file for the bytes of an in-place write until they are copied in: nameless
// where the file system allows, else removed as soon as it is open.
int OpenScratchFile() {
  const char* env = std::getenv("TMPDIR");
  const std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = folder + "/.lirrevo-scratch-XXXXXX";
  const int named = mkostemp(name.data(), O_CLOEXEC);
  if (named >= 0) unlink(name.c_str());
  return named;
}

}  // namespace

bool WriteBytesToFile(const std::string& path, std::string_view bytes) {
  FileOutput file;
  return file.Open(path) && file.Write(bytes) && file.Finish() && file.Commit();
}

FileOutput::~FileOutput() { Abandon(); }

void FileOutput::Abandon() {
  const int error = errno;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  identity_.reset();
  route_ = Route::kClosed;
  errno = error;
}

bool FileOutput::Open(const std::string& path) {
  Abandon();
  path_ = path;
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  struct stat existing {};
  if (stat(path.c_str(), &existing) != 0) {
    if (errno != ENOENT) return false;
    const std::optional<std::string> target = FollowLinks(path);
    if (!target) return Refuse(ELOOP);
    return target->back() == '/' ? Refuse(EISDIR) : OpenTemporary(*target, std::nullopt);
  }
  if (S_ISDIR(existing.st_mode)) return Refuse(EISDIR);
  if (S_ISCHR(existing.st_mode) || S_ISFIFO(existing.st_mode)) {
    fd_ = OpenToWrite(path, false);
    if (fd_ >= 0) route_ = Route::kStraight;
    return fd_ >= 0;
  }
  if (!S_ISREG(existing.st_mode)) return Refuse(EOPNOTSUPP);  // a block device or a socket
  // Root, or a rename, would replace even a file without write permission;
  // refuse it as opening it would. On a read-only file system access says EROFS.
  if ((existing.st_mode & 0222) == 0) return Refuse(EACCES);
  if (access(path.c_str(), W_OK) != 0) return false;
  std::optional<ReplacementPlan> plan = PlanReplacement(path, existing);
  return (plan && OpenTemporary(plan->target, std::move(plan->identity))) || OpenInPlace();
}

// A temporary file beside target that carries the old file's identity, or for
// a new file the mode a new file gets. False, with nothing left behind, when
// it cannot be made or cannot carry all of it.
bool FileOutput::OpenTemporary(const std::string& target, std::optional<FileIdentity> identity) {
  temp_ = FolderOf(target) + "/.lirrevo-XXXXXX";
  fd_ = mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  target_ = target;
  identity_ = std::move(identity);
  route_ = Route::kReplace;
  const bool given =
      identity_ ? GiveIdentity(fd_, *identity_) : fchmod(fd_, 0666 & ~CurrentUmask()) == 0;
  if (!given) Abandon();
  return given;
}

bool FileOutput::OpenInPlace() {
  // Whatever stops the write in place (EROFS, ETXTBSY, ...) is told now.
  const int probe = OpenToWrite(path_, true);
  if (probe < 0) return false;
  close(probe);
  fd_ = OpenScratchFile();
  if (fd_ < 0) return false;
  route_ = Route::kInPlace;
  return true;
}

bool FileOutput::Write(std::string_view chunk) {
  if (fd_ < 0) return Refuse(EBADF);
  return route_ == Route::kStraight ? WriteAllWithoutSigpipe(fd_, chunk) : WriteAll(fd_, chunk);
}

bool FileOutput::Finish() {
  if (route_ == Route::kInPlace) return true;  // the scratch file is read at Commit
  if (fd_ < 0) return Refuse(EBADF);
  // Writing clears set-id bits and file capabilities: the identity is given
  // again once the last byte is in.
  const bool ok = route_ == Route::kStraight ||
                  ((!identity_ || GiveIdentity(fd_, *identity_)) && fsync(fd_) == 0);
  const int fd = fd_;
  fd_ = -1;
  return Close(fd, ok);
}

bool FileOutput::Commit() {
  bool ok = route_ != Route::kClosed || Refuse(EBADF);
  if (route_ == Route::kReplace) ok = CommitReplacement();
  if (route_ == Route::kInPlace) ok = CopyInPlace(fd_);
  Abandon();
  if (ok) errno = 0;
  return ok;
}

// Renames the temporary file over the target. A folder that let us make it
// may still refuse to let it replace the old file (sticky, append-only); the
// old file is then written in place, while a new file has nothing to fall
// back on and the rename's error stands.
bool FileOutput::CommitReplacement() {
  if (rename(temp_.c_str(), target_.c_str()) == 0) {
    temp_.clear();
    SyncFolder(FolderOf(target_));
    return true;
  }
  if (!identity_ || (errno != EPERM && errno != EACCES)) return false;
  const int from = open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
  return from >= 0 && Close(from, CopyInPlace(from));
}

// Copies the bytes of from over the file at path_ from its start, after
// reserving their size, then cuts it to that size and flushes it.
bool FileOutput::CopyInPlace(int from) {
  const int fd = OpenToWrite(path_, true);
  if (fd < 0) return false;
  struct stat old {};
  struct stat source {};
  if (fstat(fd, &old) != 0 || fstat(from, &source) != 0) return Close(fd, false);
  bool ok = Reserve(fd, old.st_size, source.st_size);
  for (off_t at = 0; ok && at < source.st_size;) {
    const ssize_t sent = sendfile(fd, from, &at, static_cast<std::size_t>(source.st_size - at));
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) ok = sent == 0 ? Refuse(EIO) : false;
  }
  ok = ok && ftruncate(fd, source.st_size) == 0 && fsync(fd) == 0;
  return Close(fd, ok);
}

}  // namespace lirrevo
