// The file-write matrix: every way a target can refuse or accept a document,
// laid out for real in a test folder. Both WriteBytesToFile and lirrevo-cli -o
// are run over the same cases.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

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

inline constexpr rlim_t kFileSizeLimit = 4096;
inline constexpr std::string_view kOldContent = "<old>earlier document</old>\n";

struct WriteCase {
  const char* name;
  // Lays out the case in the folder and returns the path to write.
  std::string (*setup)(const TempFolder& folder);
  Runner runner;
  bool writes;                    // the write succeeds
  int error;                      // on failure: the cause (errno)
  const char* written = nullptr;  // on success: the file that then holds the bytes, relative to the
                                  // folder, when it is not the target itself (links)
  mode_t mode = 0;                // on success: that file's permission bits
  mode_t umask = 022;
};

const std::vector<WriteCase>& WriteCases();
// Test output names a case by its name instead of its bytes.
void PrintTo(const WriteCase& c, std::ostream* out);

// The conditions of the child that runs a case (every case runs in a child,
// so that its umask stays there).
ChildConditions ConditionsFor(const WriteCase& c);

// Checks the folder after a write of expected_bytes to target: on success the
// written file holds exactly those bytes with the case's mode and nothing else
// changed; on failure nothing changed at all; never a temporary file left.
void ExpectWriteOutcome(const WriteCase& c, const TempFolder& folder, const std::string& target,
                        const Snapshot& before, bool ok, std::string_view expected_bytes);

}  // namespace lirrevo::test
