// Test folders and what is in them: a fresh folder per test, files laid out
// with given modes and owners, and a snapshot to prove that nothing changed.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::test {

// A new empty folder under the system's temporary folder (mode 0755, so that
// an unprivileged child can reach it), removed with its content afterwards.
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

// The file's bytes, or nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path);
// Permission bits of the file itself (not of a link's target).
mode_t ModeOf(const std::string& path);
uid_t OwnerOf(const std::string& path);

// Every entry below folder by relative path: its type, mode, owner and its
// content or link target. Two equal snapshots mean nothing changed.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::string& folder);

// The relative paths of everything the folder holds, in order.
std::vector<std::string> NamesIn(const TempFolder& folder);

// Relative paths of the writer's temporary files (".lirrevo-*") below folder.
std::vector<std::string> TemporaryFilesIn(const std::string& folder);

}  // namespace lirrevo::test
