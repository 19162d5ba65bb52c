// A file made in a folder for bytes that go to another name later: the
// temporary file of an atomic replacement, or the scratch copy of an in-place
// write.
#pragma once

#include <cstddef>
#include <string>

namespace lirrevo {

// Nameless while its descriptor is open where the file system allows, so that
// nothing is left whatever ends the process; else, or once named, under a
// temporary name .lirrevo-XXXXXX in its folder that a SIGINT, SIGTERM or
// SIGHUP still removes (see interruption.h). Remove, or the destructor, takes
// it away. Failures are false with errno set.
class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile() { Remove(); }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Makes a new file, read and write, mode 0600, in folder.
  bool Create(const std::string& folder);
  // Open for writing until parked; -1 when there is none.
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  // Gives a nameless file a temporary name in its folder.
  bool Name();
  // Named and closed when staged files hold a quarter of the descriptors the
  // process may have, so that a run may stage more files than that; kept
  // open when no name can be had.
  void ParkIfShortOfDescriptors();
  // Flushes it to disk, reopened for that alone when parked.
  bool Sync();
  // A descriptor to read it from, reopened by name when parked.
  int Reader();
  // Its name now belongs to the file it was renamed over: it is closed and
  // nothing is removed.
  void Renamed();
  void Remove();

 private:
  bool Opened();
  void CloseFd();
  void ForgetName();

  std::string folder_;
  int fd_ = -1;
  std::string name_;
  std::size_t mark_ = 0;  // of RemoveAtInterruption
};

}  // namespace lirrevo
