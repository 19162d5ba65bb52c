// lirrevo-cli's run: read the list, build the document, write it.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Writes the document for the input that options name; the exit code: 0, or
// 1 after the input's or the output's errors on standard error.
int RunGenerate(const Options& options);

}  // namespace lirrevo::cli
