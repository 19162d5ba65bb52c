// lirrevo-cli: the dead-link document from a file or a pipe, and the commands that find
// and check dead links.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"

namespace lirrevo::cli {
namespace {

int Run(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedArguments parsed = ParseArguments(args);
  if (!parsed.options) {
    std::cout << parsed.out;
    std::cerr << parsed.error;
    return parsed.exit_code;
  }
  const Options& options = *parsed.options;
  if (options.command == Command::kCheck) return RunCheck(options);
  if (options.command == Command::kUpdate) return RunUpdate(options);
  if (options.command == Command::kCrawl) return RunCrawl(options);
  if (options.command == Command::kScanLog) return RunScanLog(options);
  return RunGenerate(options);
}

}  // namespace
}  // namespace lirrevo::cli

int main(int argc, char** argv) {
  // A file-size limit must turn into a write error, not end the process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return lirrevo::cli::Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Files under way are removed as the stack unwinds; nothing is put in place.
    std::fputs("lirrevo-cli: out of memory\n", stderr);
    return 1;
  }
}
