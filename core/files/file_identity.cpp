#include "core/files/file_identity.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace lirrevo {
namespace {

constexpr int kMaxLinkDepth = 40;

// What call writes into a buffer sized by a first call, (buffer, 0); asked
// again when it grew in between.
template <typename Call>
std::optional<std::string> ReadSized(const Call& call) {
  for (;;) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string value(static_cast<std::size_t>(size), '\0');
    const ssize_t got = call(value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(got));
    return value;
  }
}

// The names of fd's extended attributes; none where the file system has none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
  const std::optional<std::string> list =
      ReadSized([fd](char* buffer, std::size_t size) { return flistxattr(fd, buffer, size); });
  if (!list) return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
  std::vector<std::string> names;
  for (std::size_t at = 0; at < list->size(); at = list->find('\0', at) + 1) {
    names.emplace_back(list->c_str() + at);
  }
  return names;
}

bool SetAttributes(int fd, const std::map<std::string, std::string>& wanted) {
  const std::optional<std::vector<std::string>> present = AttributeNames(fd);
  if (!present) return false;
  for (const std::string& name : *present) {
    if (!wanted.contains(name) && fremovexattr(fd, name.c_str()) != 0) return false;
  }
  for (const auto& [name, value] : wanted) {
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

// Whether folder, resolved, is where /proc lists this process's descriptors
// (for the process or one of its threads).
bool IsOwnDescriptorFolder(const std::filesystem::path& folder) {
  std::error_code error;
  const std::string resolved = std::filesystem::canonical(folder, error).string();
  const std::string own = "/proc/" + std::to_string(getpid());
  if (error || !resolved.starts_with(own + "/")) return false;
  return resolved == own + "/fd" ||
         (resolved.starts_with(own + "/task/") && resolved.ends_with("/fd"));
}

}  // namespace

std::optional<int> OwnDescriptorNamed(std::string path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    const std::filesystem::path name(path);
    const std::string number = name.filename().string();
    if (!number.empty() && number.size() < 10 &&
        number.find_first_not_of("0123456789") == std::string::npos &&
        IsOwnDescriptorFolder(name.has_parent_path() ? name.parent_path() : ".")) {
      return std::stoi(number);
    }
    std::error_code not_a_link;
    const std::filesystem::path next = std::filesystem::read_symlink(name, not_a_link);
    if (not_a_link) return std::nullopt;
    path = (name.parent_path() / next).string();
  }
  return std::nullopt;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::optional<std::string> FollowLinks(std::string path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    std::error_code not_a_link;
    const std::filesystem::path next = std::filesystem::read_symlink(path, not_a_link);
    if (not_a_link) return path;
    path = (std::filesystem::path(path).parent_path() / next)
               .string();  // an absolute next stands alone
  }
  return std::nullopt;  // a loop of links
}

std::optional<FileIdentity> ReadIdentity(int fd) {
  struct stat st {};
  const std::optional<std::vector<std::string>> names = AttributeNames(fd);
  if (fstat(fd, &st) != 0 || !names) return std::nullopt;
  FileIdentity identity{st.st_uid, st.st_gid, static_cast<mode_t>(st.st_mode & 07777), {}};
  for (const std::string& name : *names) {
    std::optional<std::string> value = ReadSized([fd, &name](char* buffer, std::size_t size) {
      return fgetxattr(fd, name.c_str(), buffer, size);
    });
    if (!value) return std::nullopt;
    identity.attributes.emplace(name, std::move(*value));
  }
  return identity;
}

bool GiveIdentity(int fd, const FileIdentity& identity) {
  // The mode comes last: a change of owner clears set-id bits.
  if (fchown(fd, identity.owner, identity.group) != 0 || !SetAttributes(fd, identity.attributes) ||
      fchmod(fd, identity.mode) != 0) {
    return false;
  }
  struct stat now {};
  if (fstat(fd, &now) != 0) return false;
  if (now.st_uid == identity.owner && now.st_gid == identity.group &&
      (now.st_mode & 07777) == identity.mode) {
    return true;
  }
  errno = EPERM;  // the file system quietly kept something of its own
  return false;
}

std::optional<ReplacementPlan> PlanReplacement(const std::string& path,
                                               const struct stat& existing) {
  if (existing.st_nlink != 1) return std::nullopt;
  std::optional<std::string> target = FollowLinks(path);
  struct stat named {};
  if (!target || stat(target->c_str(), &named) != 0 || !SameFile(named, existing)) {
    return std::nullopt;
  }
  const int fd = open(target->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<FileIdentity> identity = ReadIdentity(fd);
  close(fd);
  if (!identity) return std::nullopt;
  return ReplacementPlan{std::move(*target), std::move(*identity)};
}

}  // namespace lirrevo
