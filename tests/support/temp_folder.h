// Test folders and what is in them: a fresh folder per test, files laid out
// with given modes and owners, and a snapshot to prove that nothing changed.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::test {

// A new empty folder under the system's temporary folder (mode 0755, so that
// an unprivileged child can reach it), removed with its content afterwards;
// file systems mounted below it are detached first.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const;

 private:
  std::string path_;
};

// Each of these throws std::runtime_error naming the path when the file
// system refuses, so a broken set-up fails the test instead of passing it.
void WriteFile(const std::string& path, std::string_view bytes, mode_t mode = 0644);
void MakeFolder(const std::string& path, mode_t mode = 0755);
void MakeLink(const std::string& target, const std::string& link);
void SetOwner(const std::string& path, uid_t uid, gid_t gid);
void SetMode(const std::string& path, mode_t mode);

// Thrown by a set-up that this machine does not permit; the test is then
// skipped with its message.
struct SetupRefused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Mounts a new tmpfs of size_kb kilobytes on a new folder at path, in a mount
// namespace of the test process's own, so that nothing outside sees it.
// Throws SetupRefused where mounting is not permitted.
void MountSmallFilesystem(const std::string& path, unsigned size_kb);
// Makes the file system mounted at path read-only.
void RemountReadOnly(const std::string& path);

// The file's bytes, or nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path);
// Permission bits of the file itself (not of a link's target).
mode_t ModeOf(const std::string& path);
uid_t OwnerOf(const std::string& path);

// What a snapshot records of one entry. Two equal snapshots mean nothing changed.
struct Entry {
  char type = 'f';  // f file, d folder, l symbolic link, s anything else
  mode_t mode = 0;  // permission bits
  uid_t uid = 0;
  gid_t gid = 0;
  ino_t inode = 0;
  nlink_t links = 0;
  std::map<std::string, std::string> attributes = {};  // extended attributes, ACLs among them
  std::string content = {};                            // a file's bytes or a link's target
  bool operator==(const Entry&) const = default;
};
void PrintTo(const Entry& entry, std::ostream* out);

// Every entry below folder by relative path.
using Snapshot = std::map<std::string, Entry>;
Snapshot TakeSnapshot(const std::string& folder);

// The relative paths of everything the folder holds, in order.
std::vector<std::string> NamesIn(const TempFolder& folder);

// Relative paths of the writer's temporary files (".lirrevo-*") below folder.
std::vector<std::string> TemporaryFilesIn(const std::string& folder);

}  // namespace lirrevo::test
