// What a file is beyond its bytes, and whether a new file renamed over it can
// be all of that: only then is a file replaced atomically.
#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>

namespace lirrevo {

// The path with every symbolic link at its end followed, so that the file a
// link points to is replaced and the link itself stays. A dangling link gives
// the path of the file it would create; a loop of links, nothing.
std::optional<std::string> FollowLinks(std::string path);

// The descriptor of this process that path names, directly or through
// symbolic links: /proc/self/fd/N, /dev/fd/N, /dev/stdout and their like.
// Nothing for any other path.
std::optional<int> OwnDescriptorNamed(std::string path);

// Whether two stat results are of one file (its device and inode).
bool SameFile(const struct stat& a, const struct stat& b);

// Owner and group, permission and set-id bits, and extended attributes (ACLs
// are among them).
struct FileIdentity {
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
  std::map<std::string, std::string> attributes;  // by name
};

// The identity of the open file fd; nothing, errno set, when a part of it
// cannot be read. A file system without extended attributes gives none.
std::optional<FileIdentity> ReadIdentity(int fd);

// Makes the open file fd carry exactly identity, dropping extended attributes
// it was born with (such as a folder's default ACL). False, errno set, when
// any part cannot be had.
bool GiveIdentity(int fd, const FileIdentity& identity);

struct ReplacementPlan {
  std::string target;     // the name the replacement is renamed to
  FileIdentity identity;  // what it must carry
};

// Whether a file renamed over path can stand for the existing regular file it
// names (existing is its stat): nothing when the file has a second name, which
// must see the new bytes too, when the name path leads to is another file (as
// for /proc/self/fd/1), or when its identity cannot be read. Whether a new
// file can take that identity is learned by trying GiveIdentity.
std::optional<ReplacementPlan> PlanReplacement(const std::string& path,
                                               const struct stat& existing);

}  // namespace lirrevo
