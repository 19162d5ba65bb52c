// The file-write matrix: every way a target can refuse or accept a document,
// laid out for real in a test folder. Both WriteBytesToFile and lirrevo-cli -o
// are run over the same cases.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo::test {

// Whom and what the write runs as, always in a child process: the test's own
// user; an unprivileged user (cases that root never meets); or the own user
// under a file-size limit (a short write).
enum class Runner { kOwnUser, kUnprivileged, kFileSizeLimit };

// How the writer reaches the target (for a failure: the way it tried).
enum class Route {
  kAtomic,          // a new file renamed into place: a new inode, everything else kept
  kInPlace,         // the old file overwritten: the same inode and names
  kDevice,          // a character device, written straight
  kFifo,            // a FIFO in the folder, written straight to its reader
  kStandardOutput,  // /dev/stdout, a pipe, written straight to its reader
};

inline constexpr rlim_t kFileSizeLimit = 4096;
inline constexpr std::string_view kOldContent = "<old>earlier document</old>\n";

struct WriteCase {
  const char* name;
  // Lays out the case in the folder and returns the path to write.
  std::string (*setup)(const TempFolder& folder);
  Runner runner;
  bool writes = false;            // the write succeeds
  int error = 0;                  // on failure: the cause (errno)
  const char* written = nullptr;  // on success: the file that then holds the bytes, relative to the
                                  // folder, when it is not the target itself (links)
  mode_t mode = 0;                // on success: that file's permission bits
  mode_t umask = 022;
  Route route = Route::kAtomic;
};

const std::vector<WriteCase>& WriteCases();
// Test output names a case by its name instead of its bytes.
void PrintTo(const WriteCase& c, std::ostream* out);

// The conditions of the child that runs a case (every case runs in a child,
// so that its umask stays there).
ChildConditions ConditionsFor(const WriteCase& c);

// The reading end for a case whose route is a FIFO (opened before the write,
// so that the writer does not wait for a reader) or standard output (a pipe
// whose writing end the writer gets as its standard output).
class Receiver {
 public:
  Receiver(const WriteCase& c, const std::string& target);
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  std::optional<int> standard_output() const;
  // Everything that arrived, once the writer has ended.
  std::string Take();

 private:
  int read_ = -1;
  int write_ = -1;
};

// Checks the folder after a write of expected_bytes to target: on success the
// written file holds exactly those bytes with the case's mode, was reached by
// the case's route, and nothing else of it or of the folder changed; on
// failure nothing changed at all; never a temporary file left. received is
// what reached a FIFO's or standard output's reader.
void ExpectWriteOutcome(const WriteCase& c, const TempFolder& folder, const std::string& target,
                        const Snapshot& before, bool ok, std::string_view expected_bytes,
                        std::string_view received);

}  // namespace lirrevo::test
