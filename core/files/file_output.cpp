#include "core/files/file_output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include "core/document/part_names.h"
#include "core/files/interruption.h"
#include "core/files/staged_file.h"

namespace lirrevo {
namespace {

// Where a scratch file goes when the target's own folder takes none.
std::string ScratchFolder() {
  const char* env = std::getenv("TMPDIR");
  return env != nullptr && *env != '\0' ? env : "/tmp";
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
  staged_.Remove();
  identity_.reset();
  placed_ = Placed::kNot;
  old_size_ = -1;
  reserved_ = 0;
  route_ = Route::kClosed;
  errno = error;
}

bool FileOutput::Open(const std::string& path) {
  Abandon();
  path_ = path;
  problem_.clear();
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  if (const std::optional<int> own = OwnDescriptorNamed(path)) return OpenDescriptor(*own);
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

bool FileOutput::OpenToRemove(const std::string& path) {
  Abandon();
  path_ = path;
  problem_.clear();
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  route_ = Route::kRemove;
  return true;
}

// Writes go through a copy of the descriptor, so that they land where the
// process's own writes to it would: at its offset, or at the end when it
// was opened to append.
bool FileOutput::OpenDescriptor(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  if ((flags & O_ACCMODE) == O_RDONLY) return Refuse(EBADF);
  fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (fd_ >= 0) route_ = Route::kStraight;
  return fd_ >= 0;
}

// A temporary file beside target that carries the old file's identity, or for
// a new file the mode a new file gets. False, with nothing left behind, when
// it cannot be made or cannot carry all of it.
bool FileOutput::OpenTemporary(const std::string& target, std::optional<FileIdentity> identity) {
  if (!staged_.Create(FolderName(target))) {
    Abandon();
    return false;
  }
  target_ = target;
  identity_ = std::move(identity);
  route_ = Route::kReplace;
  const int fd = staged_.fd();
  const bool given =
      identity_ ? GiveIdentity(fd, *identity_) : fchmod(fd, 0666 & ~CurrentUmask()) == 0;
  if (!given) Abandon();
  return given;
}

// The new bytes go to a scratch file beside the file, or where its folder
// takes no new file, in the scratch folder.
bool FileOutput::OpenInPlace() {
  // Whatever stops the write in place (EROFS, ETXTBSY, ...) is told now.
  const int probe = OpenToWrite(path_, true);
  if (probe < 0) return false;
  close(probe);
  if (!staged_.Create(FolderName(FollowLinks(path_).value_or(path_)))) {
    const int beside = errno;
    const std::string elsewhere = ScratchFolder();
    if (!staged_.Create(elsewhere)) {
      problem_ = "no scratch file in its folder (" + std::string(std::strerror(beside)) +
                 ") nor in '" + elsewhere + "'";
      Abandon();
      return false;
    }
  }
  route_ = Route::kInPlace;
  return true;
}

bool FileOutput::Write(std::string_view chunk) {
  if (route_ == Route::kStraight)
    return fd_ >= 0 ? WriteAllWithoutSigpipe(fd_, chunk) : Refuse(EBADF);
  if (staged_.fd() < 0) return Refuse(EBADF);
  return WriteAll(staged_.fd(), chunk);
}

bool FileOutput::Finish() {
  if (route_ == Route::kClosed) return Refuse(EBADF);
  if (route_ == Route::kStraight) {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 ? Refuse(EBADF) : Close(fd, true);
  }
  // Writing clears set-id bits and file capabilities: the identity is given
  // again once the last byte is in.
  const bool ok = route_ == Route::kInPlace || !identity_ || GiveIdentity(staged_.fd(), *identity_);
  if (ok) staged_.ParkIfShortOfDescriptors();
  return ok;
}

bool FileOutput::Commit() {
  FileOutput* const self = this;
  std::size_t failed = 0;
  return CommitAll(std::span(&self, 1), failed);
}

bool FileOutput::CommitAll(std::span<FileOutput* const> files, std::size_t& failed) {
  const auto each = [&](bool (FileOutput::*step)()) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (!(files[i]->*step)()) {
        failed = i;
        return false;
      }
    }
    return true;
  };
  // A long flush may still be cut short; nothing has changed yet.
  bool ok = each(&FileOutput::Flush);
  const InterruptionHold hold;
  ok = ok && each(&FileOutput::Prepare) && each(&FileOutput::Place) && each(&FileOutput::CopyIn);
  // From here on every file is in place: a removal that fails takes none back.
  const bool placed = ok;
  ok = ok && each(&FileOutput::Remove);
  const int error = errno;
  std::set<std::string> folders;
  for (FileOutput* file : files) {
    if (!placed) file->Undo();
    if (placed && file->placed_ != Placed::kNot && file->route_ == Route::kReplace) {
      folders.insert(FolderName(file->target_));
    }
    if (placed && file->route_ == Route::kRemove) folders.insert(FolderName(file->path_));
    file->Abandon();  // the staged file goes: a swapped-out old file, or the unused new one
  }
  for (const std::string& folder : folders) SyncFolder(folder);
  errno = ok ? 0 : error;
  return ok;
}

bool FileOutput::Flush() {
  if (route_ == Route::kClosed) return Refuse(EBADF);
  return route_ != Route::kReplace || staged_.Sync();
}

// Before anything changes: every temporary file named, every in-place
// target's new size reserved, every removal checked.
bool FileOutput::Prepare() {
  if (route_ == Route::kReplace) return staged_.Name();
  if (route_ == Route::kRemove) return CheckRemoval();
  return route_ != Route::kInPlace || Reserve();
}

// Opens the target and makes room for the new size beyond its end without
// changing its length, so that a full disk, a quota or a size limit fails
// before any file is changed.
bool FileOutput::Reserve() {
  fd_ = OpenToWrite(path_, true);
  const int from = staged_.Reader();
  struct stat old {};
  struct stat source {};
  if (fd_ < 0 || from < 0 || fstat(fd_, &old) != 0 || fstat(from, &source) != 0) return false;
  old_size_ = old.st_size;
  if (source.st_size <= old.st_size) return true;  // the old file's blocks hold the new content
  reserved_ = source.st_size;
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(source.st_size) > limit.rlim_cur) {
    return Refuse(EFBIG);
  }
  if (fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, source.st_size) == 0) return true;
  if (errno != EOPNOTSUPP) return false;
  // This file system reserves only by growing the file; Undo cuts it back.
  const int error = posix_fallocate(fd_, 0, source.st_size);
  return error == 0 || Refuse(error);
}

// Renames the temporary file over the target, swapping the two where the
// file system can, so that Undo can swap them back. A folder that let us make
// it may still refuse to let it replace the old file (sticky, append-only);
// the old file is then written in place, while a new file has nothing to fall
// back on and the rename's error stands.
bool FileOutput::Place() {
  if (route_ != Route::kReplace) return true;
  const char* from = staged_.name().c_str();
  const char* to = target_.c_str();
  const auto refused = [] { return errno == EPERM || errno == EACCES; };
  if (identity_) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
      placed_ = Placed::kSwapped;
      return true;
    }
    if (refused()) {
      route_ = Route::kInPlace;
      return Reserve();
    }
    if (errno != EINVAL) return false;  // EINVAL: no swapping on this file system
  } else if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
    placed_ = Placed::kCreated;
    staged_.Renamed();
    return true;
  } else if (errno != EINVAL && errno != EEXIST) {
    return false;
  }
  if (rename(from, to) != 0) {
    if (!identity_ || !refused()) return false;
    route_ = Route::kInPlace;
    return Reserve();
  }
  placed_ = Placed::kReplaced;
  staged_.Renamed();
  return true;
}

// Copies the new bytes over the target from its start, cuts it to their
// length and flushes it.
bool FileOutput::CopyIn() {
  if (route_ != Route::kInPlace) return true;
  const int from = staged_.Reader();
  struct stat source {};
  if (from < 0 || fstat(from, &source) != 0) return false;
  placed_ = Placed::kReplaced;  // from the first byte on, there is no way back
  bool ok = true;
  for (off_t at = 0; ok && at < source.st_size;) {
    const ssize_t sent = sendfile(fd_, from, &at, static_cast<std::size_t>(source.st_size - at));
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) ok = sent == 0 ? Refuse(EIO) : false;
  }
  return ok && ftruncate(fd_, source.st_size) == 0 && fsync(fd_) == 0;
}

// Whether the folder will let the name go once the other files are in place:
// not when we may not write it, nor when it is sticky and neither it nor the
// file is ours.
bool FileOutput::CheckRemoval() {
  struct stat file {};
  struct stat folder {};
  const std::string folder_path = FolderName(path_);
  if (lstat(path_.c_str(), &file) != 0) return errno == ENOENT;  // nothing left to remove
  if (S_ISDIR(file.st_mode)) return Refuse(EISDIR);
  if (access(folder_path.c_str(), W_OK | X_OK) != 0 || stat(folder_path.c_str(), &folder) != 0) {
    return false;
  }
  const uid_t me = geteuid();
  const bool ours = me == 0 || file.st_uid == me || folder.st_uid == me;
  return (folder.st_mode & S_ISVTX) == 0 || ours || Refuse(EPERM);
}

bool FileOutput::Remove() {
  return route_ != Route::kRemove || unlink(path_.c_str()) == 0 || errno == ENOENT;
}

// Puts back what Place and Reserve changed: a swapped old file, no new file
// where there was none, an in-place target's old length and no blocks
// reserved past it.
void FileOutput::Undo() {
  if (placed_ == Placed::kSwapped) {
    renameat2(AT_FDCWD, staged_.name().c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE);
  } else if (placed_ == Placed::kCreated) {
    unlink(target_.c_str());
  } else if (placed_ == Placed::kNot && route_ == Route::kInPlace && fd_ >= 0 &&
             reserved_ > old_size_) {
    // A cut to the old length drops blocks reserved past it on most file
    // systems, even when the length is unchanged; tmpfs needs the hole.
    [[maybe_unused]] const int cut = ftruncate(fd_, old_size_);
    fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, old_size_, reserved_ - old_size_);
  }
  placed_ = Placed::kNot;
}

}  // namespace lirrevo
