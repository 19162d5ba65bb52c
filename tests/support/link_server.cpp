#include "tests/support/link_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>

namespace lirrevo::test {

LinkServer::LinkServer(int hosts, const std::vector<std::string>& tls, const std::string& files,
                       const std::string& site) {
  std::vector<std::string> argv = {
      "python3", LIRREVO_LINK_SERVER, "--hosts", std::to_string(hosts), "--files", files, "--site",
      site};
  if (!tls.empty()) argv.insert(argv.end(), {"--tls", tls[0], tls[1]});
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_server_ = in[1];
  from_server_ = out[0];
  std::istringstream ready(ReadUntil('\n', 20000));
  std::string word;
  ready >> word;
  if (word != "ready") throw std::runtime_error("the link server did not start");
  for (int port; ready >> port;) ports_.push_back(port);
}

LinkServer::~LinkServer() {
  if (to_server_ >= 0) Stop();
}

std::string LinkServer::Http(int n) const {
  return "http://127.0.0." + std::to_string(n) + ":" + std::to_string(ports_[n - 1]);
}

std::string LinkServer::Https() const {
  return "https://127.0.0.1:" + std::to_string(ports_.back());
}

std::map<std::string, std::string> LinkServer::Stop() {
  close(to_server_);
  to_server_ = -1;
  std::istringstream lines(ReadUntil('\0', 20000));
  close(from_server_);
  int status = 0;
  waitpid(pid_, &status, 0);
  std::map<std::string, std::string> report;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t value = line.starts_with("agent ") ? 5 : line.rfind(' ');
    report[line.substr(0, value)] = line.substr(value + 1);
  }
  return report;
}

std::string LinkServer::ReadUntil(char end, int ms) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd fd{from_server_, POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char c;
    if (read(from_server_, &c, 1) != 1 || (c == end && end != '\0')) break;
    text += c;
  }
  return text;
}

}  // namespace lirrevo::test
