#include "cli/messages.h"

#include <cstdio>

namespace lirrevo::cli {

int Fail(const std::string& message, int exit_code) {
  Say(message);
  return exit_code;
}

void Warn(const std::string& message) { Say("warning: " + message); }

void Say(const std::string& message) {
  const std::string line = "lirrevo-cli: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string Named(const std::string& source) {
  return source == "-" ? "standard input" : "'" + source + "'";
}

std::string CannotRead(const std::string& source, const std::string& why) {
  return "cannot read " + Named(source) + ": " + why;
}

}  // namespace lirrevo::cli
