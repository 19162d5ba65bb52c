#include "tests/support/temp_folder.h"

#include <sys/stat.h>
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

std::string Describe(const fs::path& path) {
  struct stat st {};
  Check(lstat(path.c_str(), &st) == 0, "lstat", path);
  std::ostringstream out;
  out << std::oct << (st.st_mode & 07777) << std::dec << ' ' << st.st_uid << ':' << st.st_gid;
  if (S_ISLNK(st.st_mode)) return "link " + out.str() + " -> " + fs::read_symlink(path).string();
  if (S_ISDIR(st.st_mode)) return "folder " + out.str();
  if (!S_ISREG(st.st_mode)) return "special " + out.str();
  return "file " + out.str() + " [" + ReadFile(path).value_or("<unreadable>") + "]";
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "lirrevo-test-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp", pattern);
  path_ = pattern;
  SetMode(path_, 0755);
}

TempFolder::~TempFolder() {
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
