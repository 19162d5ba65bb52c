// lirrevo-cli: the dead-link document from a file or a pipe, and the commands that find
// and check dead links.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/check_run.h"
#include "cli/crawl_run.h"
#include "cli/generate_run.h"
#include "cli/scan_log_run.h"
#include "cli/update_run.h"

namespace {

int Run(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const lirrevo::cli::ParsedArguments parsed = lirrevo::cli::ParseArguments(args);
  if (!parsed.options) {
    std::cout << parsed.out;
    std::cerr << parsed.error;
    return parsed.exit_code;
  }
  if (parsed.options->command == lirrevo::cli::Command::kCheck) {
    return lirrevo::cli::RunCheck(*parsed.options);
  }
  if (parsed.options->command == lirrevo::cli::Command::kUpdate) {
    return lirrevo::cli::RunUpdate(*parsed.options);
  }
  if (parsed.options->command == lirrevo::cli::Command::kCrawl) {
    return lirrevo::cli::RunCrawl(*parsed.options);
  }
  if (parsed.options->command == lirrevo::cli::Command::kScanLog) {
    return lirrevo::cli::RunScanLog(*parsed.options);
  }
  return lirrevo::cli::RunGenerate(*parsed.options);
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must turn into a write error, not end the process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Files under way are removed as the stack unwinds; nothing is put in place.
    std::fputs("lirrevo-cli: out of memory\n", stderr);
    return 1;
  }
}
