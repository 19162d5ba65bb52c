// lirrevo-cli's run: read the list, build the document, write it.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Writes the document for the input that options name; the exit code: 0, or
// 1 after one line on standard error naming the input or output and the cause.
int RunGenerate(const Options& options);

}  // namespace lirrevo::cli
