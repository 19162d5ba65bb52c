#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
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

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes bytes into a new temporary file in folder, gives it mode (and, where
// allowed, the replaced file's owner), flushes it and returns its path.
std::optional<std::string> WriteTemporary(const std::string& folder, std::string_view bytes,
                                          mode_t mode, const struct stat* replaced) {
  std::string temp = folder + "/.lirrevo-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  bool ok = WriteAll(fd, bytes);
  if (ok && replaced) {
    // Giving the file to the replaced file's owner needs that right; without
    // it the new file is ours, as any file we create.
    [[maybe_unused]] const int owner_kept = fchown(fd, replaced->st_uid, replaced->st_gid);
  }
  ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (!ok) {
    unlink(temp.c_str());
    errno = error;
    return std::nullopt;
  }
  return temp;
}

bool Refuse(int error) {
  errno = error;
  return false;
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename itself has already succeeded
  close(fd);
}

}  // namespace

bool WriteBytesToFile(const std::string& path, std::string_view bytes) {
  errno = 0;
  if (path.empty() || path.find('\0') != std::string::npos) return Refuse(EINVAL);
  const std::optional<std::string> target = FollowLinks(path);
  if (!target) return Refuse(ELOOP);
  if (target->back() == '/') return Refuse(EISDIR);

  struct stat existing {};
  const bool exists = stat(target->c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return false;
  mode_t mode = 0666 & ~CurrentUmask();
  if (exists) {
    if (S_ISDIR(existing.st_mode)) return Refuse(EISDIR);
    if (!S_ISREG(existing.st_mode)) return Refuse(EINVAL);
    // A rename would replace even a read-only file; refuse it as opening would.
    if ((existing.st_mode & 0222) == 0 || access(target->c_str(), W_OK) != 0) {
      return Refuse(EACCES);
    }
    mode = existing.st_mode & 07777;
  }

  const std::string folder = FolderOf(*target);
  const std::optional<std::string> temp =
      WriteTemporary(folder, bytes, mode, exists ? &existing : nullptr);
  if (!temp) return false;
  if (rename(temp->c_str(), target->c_str()) != 0) {
    const int error = errno;
    unlink(temp->c_str());
    return Refuse(error);
  }
  SyncFolder(folder);
  errno = 0;
  return true;
}

}  // namespace lirrevo
