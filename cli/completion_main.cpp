// Prints lirrevo-cli's bash completion script, made at build time from the
// same option table as its --help.
#include <iostream>

#include "cli/option_table.h"

int main() {
  std::cout << lirrevo::cli::BashCompletion();
  return std::cout.good() ? 0 : 1;
}
