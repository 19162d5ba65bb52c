// Writing a file so that a failed write never does worse than writing the
// file in place would.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/file_identity.h"

namespace lirrevo {

// Writes exactly bytes to the file at path; symbolic links are followed.
//
// A new file, and an existing regular file whose replacement can carry
// everything it had (owner and group, mode, extended attributes and with them
// ACLs, a single name, a folder we may write), are replaced atomically: a
// temporary file beside the target is written, flushed and renamed over it,
// so a failed write leaves the old file as it was. Any other writable regular
// file is overwritten in place, after its new size has been reserved, so a
// full disk or a file-size limit fails before a byte of the old content
// changes; only an I/O error in the middle of the write can then lose it.
// Character devices and FIFOs are written straight.
//
// False for an empty path, a missing folder, a folder, a block device or
// socket, a file without write permission, or any write error; errno then
// tells the cause (EROFS on a read-only file system, ENOSPC, EDQUOT, EFBIG,
// EACCES, EPIPE when a FIFO's reader goes away, ...).
bool WriteBytesToFile(const std::string& path, std::string_view bytes);

// Writes a file in chunks under the rules of WriteBytesToFile: Open, Write as
// often as needed, Finish, then Commit puts the file in place. Until Commit
// the target is untouched (a device or FIFO excepted, which is written
// straight): a file that is replaced atomically is written to its temporary
// file; one written in place goes to a scratch file first, and Commit reserves
// its new size, copies it in and flushes it. Abandon, or the destructor before
// Commit, removes what was written. Every step returns false with errno set
// as WriteBytesToFile does.
class FileOutput {
 public:
  FileOutput() = default;
  ~FileOutput();
  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

  bool Open(const std::string& path);
  bool Write(std::string_view chunk);
  // Flushes and closes what was written; the target is not yet changed.
  bool Finish();
  bool Commit();
  void Abandon();

 private:
  enum class Route { kClosed, kReplace, kInPlace, kStraight };
  bool OpenTemporary(const std::string& target, std::optional<FileIdentity> identity);
  bool OpenInPlace();
  bool CommitReplacement();
  bool CopyInPlace(int from);

  Route route_ = Route::kClosed;
  int fd_ = -1;                           // where Write goes
  std::string path_;                      // as given
  std::string target_;                    // kReplace: the name the temporary file is renamed to
  std::string temp_;                      // kReplace: the temporary file
  std::optional<FileIdentity> identity_;  // kReplace of an existing file: what it had
};

}  // namespace lirrevo
