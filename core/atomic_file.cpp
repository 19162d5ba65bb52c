#include "core/atomic_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

namespace lirrevo {
namespace {

constexpr int kMaxLinkDepth = 40;

// The path with every symbolic link at its end followed, so that the file a
// link points to is replaced and the link itself stays. A dangling link gives
// the path of the file it would create.
std::optional<std::string> FollowLinks(std::string path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
    std::string next(target.data(), static_cast<std::size_t>(length));
    if (next.empty()) return std::nullopt;
    if (next.front() != '/') {
      const std::size_t slash = path.rfind('/');
      if (slash != std::string::npos) next = path.substr(0, slash + 1) + next;
    }
    path = std::move(next);
  }
  return std::nullopt;  // a loop of links
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The process's file-creation mask, read without changing it: umask() would
// briefly change it for every thread of the process.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "Umask:") {
      unsigned value = 0;
      if (status >> std::oct >> value) return static_cast<mode_t>(value);
      break;
    }
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

// The names of fd's extended attributes; none where the file system has none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
  for (;;) {
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0 && errno == ENOTSUP) return std::vector<std::string>();
    if (size < 0) return std::nullopt;
    std::string list(static_cast<std::size_t>(size), '\0');
    const ssize_t got = flistxattr(fd, list.data(), list.size());
    if (got < 0 && errno == ERANGE) continue;  // the list grew meanwhile
    if (got < 0) return std::nullopt;
    std::vector<std::string> names;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
      const std::size_t end = list.find('\0', at);
      names.push_back(list.substr(at, end - at));
      at = end + 1;
    }
    return names;
  }
}

std::optional<std::string> AttributeValue(int fd, const std::string& name) {
  for (;;) {
    const ssize_t size = fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string value(static_cast<std::size_t>(size), '\0');
    const ssize_t got = fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(got));
    return value;
  }
}

// Gives `to` exactly the extended attributes of `from` (ACLs are among them),
// dropping any that `to` was born with, such as an ACL inherited from the folder.
bool CopyAttributes(int from, int to) {
  const std::optional<std::vector<std::string>> wanted = AttributeNames(from);
  const std::optional<std::vector<std::string>> present = AttributeNames(to);
  if (!wanted || !present) return false;
  for (const std::string& name : *present) {
    const bool keep = std::find(wanted->begin(), wanted->end(), name) != wanted->end();
    if (!keep && fremovexattr(to, name.c_str()) != 0) return false;
  }
  for (const std::string& name : *wanted) {
    const std::optional<std::string> value = AttributeValue(from, name);
    if (!value || fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) return false;
  }
  return true;
}

// Makes the new file fd everything the old file was: owner and group, then
// extended attributes, then mode (a change of owner clears set-id bits).
// False when any of it cannot be had.
bool TakeOverIdentity(int fd, int old_fd, const struct stat& old) {
  if (fchown(fd, old.st_uid, old.st_gid) != 0 || !CopyAttributes(old_fd, fd) ||
      fchmod(fd, old.st_mode & 07777) != 0) {
    return false;
  }
  struct stat now {};
  return fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
         (now.st_mode & 07777) == (old.st_mode & 07777);
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename itself has already succeeded
  close(fd);
}

enum class Replacement { kDone, kFailed, kNotPossible };

// Writes bytes into a new temporary file beside target, lets `prepare` give it
// its owner, attributes and mode, flushes it and renames it over target.
// kNotPossible (errno kept) when no temporary file can be made, prepare
// fails, or the rename is not permitted; kFailed after a write error. No
// temporary file is left behind either way.
Replacement ReplaceThroughTemporary(const std::string& target, std::string_view bytes,
                                    const std::function<bool(int)>& prepare) {
  const std::string folder = FolderOf(target);
  std::string temp = folder + "/.lirrevo-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Replacement::kNotPossible;
  Replacement outcome = Replacement::kDone;
  if (!WriteAll(fd, bytes)) {
    outcome = Replacement::kFailed;
  } else if (!prepare(fd)) {
    outcome = Replacement::kNotPossible;
  } else if (fsync(fd) != 0) {
    outcome = Replacement::kFailed;
  }
  if (!Close(fd, outcome == Replacement::kDone) && outcome == Replacement::kDone) {
    outcome = Replacement::kFailed;
  }
  if (outcome == Replacement::kDone && rename(temp.c_str(), target.c_str()) != 0) {
    outcome = errno == EPERM || errno == EACCES ? Replacement::kNotPossible : Replacement::kFailed;
  }
  if (outcome != Replacement::kDone) {
    const int error = errno;
    unlink(temp.c_str());
    errno = error;
    return outcome;
  }
  SyncFolder(folder);
  return outcome;
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

// Overwrites the existing file from offset 0, then cuts it to the new size.
bool WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0) return Close(fd, false);
  if (!S_ISREG(st.st_mode)) return Close(fd, Refuse(EINVAL));  // changed since we looked
  const auto new_size = static_cast<off_t>(bytes.size());
  const bool ok = Reserve(fd, st.st_size, new_size) && WriteAll(fd, bytes) &&
                  ftruncate(fd, new_size) == 0 && fsync(fd) == 0;
  return Close(fd, ok);
}

// Character devices and FIFOs: no rename, no reservation, no flush.
bool WriteStraight(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0) return Close(fd, false);
  // A regular file put there since we looked must not be overwritten untruncated.
  if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) return Close(fd, Refuse(EINVAL));
  return Close(fd, WriteAllWithoutSigpipe(fd, bytes));
}

bool CreateFile(const std::string& path, std::string_view bytes) {
  const std::optional<std::string> target = FollowLinks(path);
  if (!target) return Refuse(ELOOP);
  if (target->back() == '/') return Refuse(EISDIR);
  const mode_t mode = 0666 & ~CurrentUmask();
  const auto give_mode = [mode](int fd) { return fchmod(fd, mode) == 0; };
  return ReplaceThroughTemporary(*target, bytes, give_mode) == Replacement::kDone;
}

// Replaces the regular file `existing` atomically where the new file can be
// everything it was; otherwise writes it in place.
bool ReplaceFile(const std::string& path, const struct stat& existing, std::string_view bytes) {
  // Other names of the file must see the new content.
  if (existing.st_nlink != 1) return WriteInPlace(path, bytes);
  // The name a rename replaces must be the file that the path opens, which a
  // link such as /proc/self/fd/1 does not say.
  const std::optional<std::string> target = FollowLinks(path);
  struct stat named {};
  if (!target || stat(target->c_str(), &named) != 0 || named.st_dev != existing.st_dev ||
      named.st_ino != existing.st_ino) {
    return WriteInPlace(path, bytes);
  }
  const int old_fd = open(target->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (old_fd < 0) return WriteInPlace(path, bytes);
  const Replacement outcome = ReplaceThroughTemporary(
      *target, bytes, [&](int fd) { return TakeOverIdentity(fd, old_fd, existing); });
  Close(old_fd, false);  // keeps the errno of a failed replacement
  if (outcome == Replacement::kNotPossible) return WriteInPlace(path, bytes);
  return outcome == Replacement::kDone;
}

}  // namespace

bool WriteBytesToFile(const std::string& path, std::string_view bytes) {
  errno = 0;
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  struct stat existing {};
  if (stat(path.c_str(), &existing) != 0) {
    if (errno != ENOENT || !CreateFile(path, bytes)) return false;
    errno = 0;
    return true;
  }
  if (S_ISDIR(existing.st_mode)) return Refuse(EISDIR);
  if (S_ISCHR(existing.st_mode) || S_ISFIFO(existing.st_mode)) return WriteStraight(path, bytes);
  if (!S_ISREG(existing.st_mode)) return Refuse(EOPNOTSUPP);  // a block device or a socket
  // Root, or a rename, would replace even a file without write permission;
  // refuse it as opening it would. On a read-only file system access says EROFS.
  if ((existing.st_mode & 0222) == 0) return Refuse(EACCES);
  if (access(path.c_str(), W_OK) != 0) return false;
  if (!ReplaceFile(path, existing, bytes)) return false;
  errno = 0;
  return true;
}

namespace {

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

FileOutput::~FileOutput() { Abandon(); }

void FileOutput::Abandon() {
  const int error = errno;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  mode_ = Mode::kClosed;
  errno = error;
}

bool FileOutput::Open(const std::string& path) {
  Abandon();
  errno = 0;
  path_ = path;
  written_ = 0;
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  // The temporary file that is renamed over the target, beside it.
  const auto open_temporary = [this](const std::string& target) {
    temp_ = FolderOf(target) + "/.lirrevo-XXXXXX";
    fd_ = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      temp_.clear();
      return false;
    }
    target_ = target;
    mode_ = Mode::kReplace;
    return true;
  };
  struct stat existing {};
  if (stat(path.c_str(), &existing) != 0) {
    if (errno != ENOENT) return false;
    const std::optional<std::string> target = FollowLinks(path);
    if (!target) return Refuse(ELOOP);
    if (target->back() == '/') return Refuse(EISDIR);
    if (!open_temporary(*target)) return false;
    if (fchmod(fd_, 0666 & ~CurrentUmask()) != 0) {
      Abandon();
      return false;
    }
    return true;
  }
  if (S_ISDIR(existing.st_mode)) return Refuse(EISDIR);
  if (S_ISCHR(existing.st_mode) || S_ISFIFO(existing.st_mode)) {
    fd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode))) {
      const int error = errno != 0 ? errno : EINVAL;
      Abandon();
      return Refuse(error);
    }
    mode_ = Mode::kStraight;
    return true;
  }
  if (!S_ISREG(existing.st_mode)) return Refuse(EOPNOTSUPP);
  if ((existing.st_mode & 0222) == 0) return Refuse(EACCES);
  if (access(path.c_str(), W_OK) != 0) return false;
  // As WriteBytesToFile decides: replaced where the new file can be all the old one was.
  if (existing.st_nlink != 1) return OpenInPlace();
  const std::optional<std::string> target = FollowLinks(path);
  struct stat named {};
  if (!target || stat(target->c_str(), &named) != 0 || named.st_dev != existing.st_dev ||
      named.st_ino != existing.st_ino) {
    return OpenInPlace();
  }
  const int old_fd = open(target->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (old_fd < 0) return OpenInPlace();
  const bool replaced = open_temporary(*target) && TakeOverIdentity(fd_, old_fd, existing);
  close(old_fd);
  if (replaced) return true;
  Abandon();
  return OpenInPlace();
}

bool FileOutput::OpenInPlace() {
  errno = 0;
  const int probe = open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (probe < 0) return false;
  close(probe);
  fd_ = OpenScratchFile();
  if (fd_ < 0) return false;
  mode_ = Mode::kInPlace;
  return true;
}

bool FileOutput::Write(std::string_view chunk) {
  if (fd_ < 0) return Refuse(EBADF);
  const bool ok =
      mode_ == Mode::kStraight ? WriteAllWithoutSigpipe(fd_, chunk) : WriteAll(fd_, chunk);
  if (ok) written_ += static_cast<off_t>(chunk.size());
  return ok;
}

bool FileOutput::Finish() {
  if (mode_ == Mode::kInPlace) return true;
  if (fd_ < 0) return Refuse(EBADF);
  const bool ok = mode_ == Mode::kStraight || fsync(fd_) == 0;
  const int fd = fd_;
  fd_ = -1;
  return Close(fd, ok);
}

// Copies the written bytes over the file at path_ from its start, after
// reserving their size, then cuts it to that size and flushes it.
bool FileOutput::CopyInPlace(int from) {
  const int fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0) return Close(fd, false);
  if (!S_ISREG(st.st_mode)) return Close(fd, Refuse(EINVAL));
  bool ok = Reserve(fd, st.st_size, written_);
  std::string buffer(std::size_t{1} << 20, '\0');
  for (off_t at = 0; ok && at < written_;) {
    const ssize_t got = pread(from, buffer.data(), buffer.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0 ? Refuse(EIO) : false;
      break;
    }
    ok = WriteAll(fd, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    at += got;
  }
  ok = ok && ftruncate(fd, written_) == 0 && fsync(fd) == 0;
  return Close(fd, ok);
}

bool FileOutput::Commit() {
  bool ok = true;
  if (mode_ == Mode::kReplace) {
    if (rename(temp_.c_str(), target_.c_str()) == 0) {
      temp_.clear();
      SyncFolder(FolderOf(target_));
    } else if (errno == EPERM || errno == EACCES) {
      const int from = open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
      ok = from >= 0 && Close(from, CopyInPlace(from));
    } else {
      ok = false;
    }
  } else if (mode_ == Mode::kInPlace) {
    ok = CopyInPlace(fd_);
  } else if (mode_ != Mode::kStraight) {
    ok = Refuse(EBADF);
  }
  Abandon();
  if (ok) errno = 0;
  return ok;
}

}  // namespace lirrevo
