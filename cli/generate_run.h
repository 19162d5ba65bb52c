// lirrevo-cli's run: read the list, build the document, write it.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Writes the document for the input that options name; the exit code: 0, 1
// after the input's or the output's errors on standard error, or 2 for an
// output that cannot be (see CheckOutputs and WriteDocuments).
int RunGenerate(const Options& options);

}  // namespace lirrevo::cli
