#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace lirrevo::test {
namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// In the child: takes on the conditions, or ends the child with status 125.
void Enter(const ChildConditions& conditions) {
  if (conditions.umask) umask(*conditions.umask);
  if (conditions.standard_output && dup2(*conditions.standard_output, 1) < 0) _exit(125);
  if (conditions.open_files) {
    const rlimit limit{*conditions.open_files, *conditions.open_files};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(125);
  }
  if (conditions.file_size) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{*conditions.file_size, *conditions.file_size};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
  }
  if (conditions.address_space) {
    const rlimit limit{*conditions.address_space, *conditions.address_space};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(125);
  }
  if (conditions.user) {
    if (setgroups(0, nullptr) != 0 || setgid(conditions.user->gid) != 0 ||
        setuid(conditions.user->uid) != 0) {
      _exit(125);
    }
  }
}

int WaitFor(pid_t pid, rusage* usage) {
  int status = 0;
  while (wait4(pid, &status, 0, usage) < 0) Check(errno == EINTR, "wait4");
  if (WIFEXITED(status) && WEXITSTATUS(status) == 125) {
    throw std::runtime_error("the child could not take on its conditions");
  }
  return status;
}

// Feeds input to the child and drains its output and errors until both close.
void Exchange(std::string_view input, int to_child, int from_out, int from_err, std::string& out,
              std::string& err) {
  pollfd fds[3] = {{to_child, POLLOUT, 0}, {from_out, POLLIN, 0}, {from_err, POLLIN, 0}};
  if (input.empty()) {
    close(to_child);
    fds[0].fd = -1;
  }
  std::string* sinks[3] = {nullptr, &out, &err};
  char chunk[1 << 16];
  while (fds[1].fd >= 0 || fds[2].fd >= 0) {
    if (poll(fds, 3, -1) < 0) {
      Check(errno == EINTR, "poll");
      continue;
    }
    if (fds[0].fd >= 0 && fds[0].revents != 0) {
      const ssize_t n = write(to_child, input.data(), std::min<std::size_t>(input.size(), 1 << 16));
      if (n > 0) input.remove_prefix(static_cast<std::size_t>(n));
      if (n < 0 || input.empty()) {
        close(to_child);
        fds[0].fd = -1;
      }
    }
    for (int i = 1; i < 3; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        sinks[i]->append(chunk, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  if (fds[0].fd >= 0) close(to_child);  // the child ended without reading everything
}

}  // namespace

UserIds UnprivilegedUser() {
  if (const passwd* entry = getpwnam("nobody")) return {entry->pw_uid, entry->pw_gid};
  return {65534, 65534};
}

bool CanSwitchUser() { return geteuid() == 0; }

ChildOutcome RunInChild(const ChildConditions& conditions, const std::function<bool()>& fn) {
  int pipe_fds[2];
  Check(pipe2(pipe_fds, O_CLOEXEC) == 0, "pipe");
  const pid_t pid = fork();
  Check(pid >= 0, "fork");
  if (pid == 0) {
    close(pipe_fds[0]);
    Enter(conditions);
    ChildOutcome outcome;
    errno = 0;
    outcome.ok = fn();
    outcome.error = errno;
    const bool sent = write(pipe_fds[1], &outcome, sizeof outcome) == sizeof outcome;
    _exit(sent ? 0 : 1);
  }
  close(pipe_fds[1]);
  ChildOutcome outcome;
  const ssize_t got = read(pipe_fds[0], &outcome, sizeof outcome);
  close(pipe_fds[0]);
  const int status = WaitFor(pid, nullptr);
  if (got != sizeof outcome || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the child ended without reporting its outcome");
  }
  return outcome;
}

ProgramOutcome RunProgram(const std::vector<std::string>& argv, std::string_view input,
                          const ChildConditions& conditions) {
  return RunningProgram(argv, conditions).Finish(input);
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv,
                               const ChildConditions& conditions) {
  int in[2], out[2], err[2];
  Check(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0,
        "pipe");
  pid_ = fork();
  Check(pid_ >= 0, "fork");
  if (pid_ == 0) {
    Enter(conditions);
    std::signal(SIGPIPE, SIG_DFL);
    dup2(conditions.standard_input.value_or(in[0]), 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

RunningProgram::~RunningProgram() {
  if (pid_ <= 0) return;  // finished
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  for (const int fd : {in_, out_, err_}) close(fd);
}

ProgramOutcome RunningProgram::Finish(std::string_view input) {
  ProgramOutcome outcome;
  // A child that stops reading its input must not kill the test with SIGPIPE.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  Exchange(input, in_, out_, err_, outcome.out, outcome.err);
  std::signal(SIGPIPE, previous);
  rusage usage{};
  const int status = WaitFor(pid_, &usage);
  pid_ = -1;
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  outcome.peak_memory_kb = usage.ru_maxrss;
  return outcome;
}

}  // namespace lirrevo::test
