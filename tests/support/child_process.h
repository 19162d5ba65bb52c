// Running code and programs in a child process under conditions the test
// process must not take on itself: another user, a file-size limit, a umask.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::test {

struct UserIds {
  uid_t uid;
  gid_t gid;
};

// The unprivileged user the tests drop to ("nobody", or 65534:65534).
UserIds UnprivilegedUser();
// True when this process may switch to another user (it runs as root).
bool CanSwitchUser();

struct ChildConditions {
  std::optional<UserIds> user;      // run as this user, without supplementary groups
  std::optional<rlim_t> file_size;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
  std::optional<mode_t> umask;
  std::optional<int> standard_output;   // this descriptor becomes the child's standard output
  std::optional<rlim_t> address_space;  // RLIMIT_AS in bytes: allocations beyond it fail
  std::optional<rlim_t> open_files;     // RLIMIT_NOFILE
  // A program's standard input: this descriptor instead of a pipe of the input.
  std::optional<int> standard_input;
};

// What a function run in a child returned, and errno right after it.
struct ChildOutcome {
  bool ok = false;
  int error = 0;
};

// Runs fn in a forked child under the conditions. Throws std::runtime_error
// if the child could not be set up or did not end normally.
ChildOutcome RunInChild(const ChildConditions& conditions, const std::function<bool()>& fn);

struct ProgramOutcome {
  int exit_code = -1;  // -1 when a signal ended it
  int signal = 0;
  std::string out;
  std::string err;
  long peak_memory_kb = 0;  // the child's maximum resident set size
};

// Runs argv[0] with the arguments, input on its standard input, and collects
// its output, exit status and peak memory.
ProgramOutcome RunProgram(const std::vector<std::string>& argv, std::string_view input,
                          const ChildConditions& conditions = {});

// RunProgram in two steps, so that the test can act while the program runs:
// the program starts at once; Finish feeds it input and collects the outcome.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& argv, const ChildConditions& conditions = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid() const { return pid_; }
  ProgramOutcome Finish(std::string_view input = {});

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
};

}  // namespace lirrevo::test
