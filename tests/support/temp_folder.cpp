#include "tests/support/temp_folder.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lirrevo::test {
namespace {

namespace fs = std::filesystem;

void Check(bool ok, const std::string& what, const std::string& path) {
  if (!ok) throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

std::map<std::string, std::string> AttributesOf(const fs::path& path) {
  std::map<std::string, std::string> attributes;
  std::string names(65536, '\0');
  const ssize_t length = llistxattr(path.c_str(), names.data(), names.size());
  if (length < 0 && errno == ENOTSUP) return attributes;
  Check(length >= 0, "llistxattr", path);
  for (std::size_t at = 0; at < static_cast<std::size_t>(length); at = names.find('\0', at) + 1) {
    const std::string name = names.c_str() + at;
    std::string value(65536, '\0');
    const ssize_t size = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    Check(size >= 0, "lgetxattr " + name, path);
    value.resize(static_cast<std::size_t>(size));
    attributes[name] = value;
  }
  return attributes;
}

Entry Describe(const fs::path& path) {
  struct stat st {};
  Check(lstat(path.c_str(), &st) == 0, "lstat", path);
  Entry entry{.type = 's',
              .mode = st.st_mode & 07777,
              .uid = st.st_uid,
              .gid = st.st_gid,
              .inode = st.st_ino,
              .links = st.st_nlink,
              .attributes = AttributesOf(path)};
  if (S_ISLNK(st.st_mode)) {
    entry.type = 'l';
    entry.content = fs::read_symlink(path).string();
  } else if (S_ISDIR(st.st_mode)) {
    entry.type = 'd';
  } else if (S_ISREG(st.st_mode)) {
    entry.type = 'f';
    entry.content = ReadFile(path).value_or("<unreadable>");
  }
  return entry;
}

// Detaches every file system mounted below folder.
void DetachMounts(const std::string& folder) {
  struct stat top {};
  if (stat(folder.c_str(), &top) != 0) return;
  std::error_code ignored;
  std::vector<std::string> mounts;
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    struct stat st {};
    if (lstat(it->path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev != top.st_dev) {
      mounts.push_back(it->path());
      it.disable_recursion_pending();
    }
  }
  for (const std::string& mount : mounts) umount2(mount.c_str(), MNT_DETACH);
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "lirrevo-test-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp", pattern);
  path_ = pattern;
  SetMode(path_, 0755);
}

TempFolder::~TempFolder() {
  DetachMounts(path_);
  std::error_code ignored;
  // Give every folder its bits back first, or a read-only one could not be emptied.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0700);
  }
  fs::remove_all(path_, ignored);
}

std::string TempFolder::operator/(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

void WriteFile(const std::string& path, std::string_view bytes, mode_t mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "write", path);
  }
  SetMode(path, mode);
}

void MakeFolder(const std::string& path, mode_t mode) {
  Check(mkdir(path.c_str(), 0700) == 0, "mkdir", path);
  SetMode(path, mode);
}

void MakeLink(const std::string& target, const std::string& link) {
  Check(symlink(target.c_str(), link.c_str()) == 0, "symlink", link);
}

void SetOwner(const std::string& path, uid_t uid, gid_t gid) {
  Check(lchown(path.c_str(), uid, gid) == 0, "chown", path);
}

void SetMode(const std::string& path, mode_t mode) {
  Check(chmod(path.c_str(), mode) == 0, "chmod", path);
}

void MountSmallFilesystem(const std::string& path, unsigned size_kb) {
  static const int namespace_error = [] {
    const bool entered =
        unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return entered ? 0 : errno;
  }();
  if (namespace_error != 0) {
    throw SetupRefused(std::string("a mount namespace of our own was refused: ") +
                       std::strerror(namespace_error));
  }
  MakeFolder(path);
  const std::string options = "size=" + std::to_string(size_kb) + "k,mode=0755";
  if (mount("lirrevo-test", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    throw SetupRefused("mounting a small file system was refused: " +
                       std::string(std::strerror(errno)));
  }
}

void RemountReadOnly(const std::string& path) {
  Check(mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
              nullptr) == 0,
        "remount read-only", path);
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  Check(lstat(path.c_str(), &st) == 0, "lstat", path);
  return st.st_mode & 07777;
}

uid_t OwnerOf(const std::string& path) {
  struct stat st {};
  Check(lstat(path.c_str(), &st) == 0, "lstat", path);
  return st.st_uid;
}

void PrintTo(const Entry& entry, std::ostream* out) {
  *out << entry.type << ' ' << std::oct << entry.mode << std::dec << ' ' << entry.uid << ':'
       << entry.gid << " inode " << entry.inode << " links " << entry.links;
  for (const auto& [name, value] : entry.attributes) *out << ' ' << name << '=' << value.size();
  *out << " size " << entry.content.size() << " [" << entry.content.substr(0, 60)
       << (entry.content.size() > 60 ? "...]" : "]");
}

Snapshot TakeSnapshot(const std::string& folder) {
  Snapshot snapshot;
  std::vector<fs::path> pending = {folder};
  while (!pending.empty()) {
    const fs::path current = pending.back();
    pending.pop_back();
    // Entries are looked at with lstat only: a loop of links must not stop the walk.
    for (const fs::directory_entry& entry : fs::directory_iterator(current)) {
      snapshot[entry.path().lexically_relative(folder).string()] = Describe(entry.path());
      if (fs::is_directory(entry.symlink_status())) pending.push_back(entry.path());
    }
  }
  return snapshot;
}

std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& [name, description] : TakeSnapshot(folder)) {
    if (fs::path(name).filename().string().starts_with(".lirrevo-")) found.push_back(name);
  }
  return found;
}

std::vector<std::string> NamesIn(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& [name, what] : TakeSnapshot(folder.path())) names.push_back(name);
  return names;
}

}  // namespace lirrevo::test
