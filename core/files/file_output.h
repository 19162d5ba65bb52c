// Writing files so that a failed or interrupted write never does worse than
// writing the file in place would, and mostly leaves the old file as it was.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/files/file_identity.h"
#include "core/files/staged_file.h"

namespace lirrevo {

// Writes exactly bytes to the file at path; symbolic links are followed.
//
// A new file, and an existing regular file whose replacement can carry
// everything it had (owner and group, mode, extended attributes and with them
// ACLs, a single name, a folder we may write), are replaced atomically: a
// temporary file beside the target (nameless where the file system allows)
// is written, flushed and renamed over it, so a failed write leaves the old
// file as it was. Any other writable regular file is overwritten in place:
// the new bytes go to a scratch file first (beside the target, or where its
// folder takes no new file in $TMPDIR, else /tmp), then its new size is
// reserved, so a full disk or a file-size limit fails before a byte of the old
// content changes, and it is copied in with SIGINT, SIGTERM and SIGHUP held;
// only an I/O error, SIGKILL or a power cut in the middle of that copy can
// then lose it. Character devices and FIFOs are written straight, and so is
// a name of one of the process's own descriptors (/dev/stdout,
// /proc/self/fd/N, /dev/fd/N): through that descriptor, at its offset or
// appending as it was opened.
//
// False for an empty path, a missing folder, a folder, a block device or
// socket, a file without write permission, or any write error; errno then
// tells the cause (EROFS on a read-only file system, ENOSPC, EDQUOT, EFBIG,
// EACCES, EPIPE when a FIFO's reader goes away, ...).
bool WriteBytesToFile(const std::string& path, std::string_view bytes);

// Writes a file in chunks under the rules of WriteBytesToFile: Open, Write as
// often as needed, Finish, then Commit (or CommitAll for several files) puts
// it in place. Until then the target is untouched (a straight write
// excepted). Abandon, or the destructor before Commit, removes what was
// written. Every step returns false with errno set as WriteBytesToFile does;
// Problem then tells where the cause lies when it is not the target itself.
// OpenToRemove instead makes Commit remove the name path, so that one commit
// can both put files in place and take others away.
class FileOutput {
 public:
  FileOutput() = default;
  ~FileOutput();
  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

  bool Open(const std::string& path);
  // The name is removed, not what a link leads to; a folder is refused at
  // the commit, and so is a name that its folder does not let us remove.
  bool OpenToRemove(const std::string& path);
  bool Write(std::string_view chunk);
  // Ends the writing; the target is not yet changed. Commit flushes it.
  bool Finish();
  bool Commit();
  void Abandon();

  // Puts every finished file in place, or none of them: every temporary file
  // is flushed; then, with SIGINT, SIGTERM and SIGHUP held, every new size
  // that an in-place write needs is reserved, every temporary file named and
  // every removal checked before the first rename, the renames come next,
  // the in-place copies after them and the removals last. After a failure
  // before the removals the renamed files are swapped back (where the file
  // system can swap two names) and nothing is removed, so only an I/O error
  // in an in-place copy can leave a changed file; a removal that fails in
  // spite of its check leaves every file in place. failed is then the index
  // of the file that failed. Every file is closed afterwards.
  static bool CommitAll(std::span<FileOutput* const> files, std::size_t& failed);

  // Empty when a failure concerns the target itself; else what it concerns,
  // such as "no scratch file in its folder (Permission denied) nor in '/tmp'".
  const std::string& Problem() const { return problem_; }

 private:
  enum class Route { kClosed, kReplace, kInPlace, kStraight, kRemove };
  enum class Placed { kNot, kSwapped, kCreated, kReplaced };

  bool OpenDescriptor(int fd);
  bool OpenTemporary(const std::string& target, std::optional<FileIdentity> identity);
  bool OpenInPlace();
  bool Flush();
  bool Prepare();
  bool Reserve();
  bool Place();
  bool CopyIn();
  bool CheckRemoval();
  bool Remove();
  void Undo();

  Route route_ = Route::kClosed;
  int fd_ = -1;         // kStraight: where Write goes; kInPlace, while committing: the target
  StagedFile staged_;   // the temporary or scratch file
  std::string path_;    // as given
  std::string target_;  // kReplace: the name the temporary file is renamed to
  std::optional<FileIdentity> identity_;  // kReplace of an existing file: what it had
  std::string problem_;
  Placed placed_ = Placed::kNot;
  off_t old_size_ = -1;  // kInPlace, while committing: the size to go back to
  off_t reserved_ = 0;   // and the size reserved past it
};

}  // namespace lirrevo
