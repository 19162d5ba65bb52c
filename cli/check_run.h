// lirrevo-cli check: read the list, ask every link, tell what each one is.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Writes "CLASS<TAB>CODE<TAB>LINK<TAB>DETAIL" (or its JSON) per input line, in
// input order, to standard output and a summary to standard error; with
// options.output also the document of the dead links. 0 when every line is dead; 1 when one is not,
// and after an input or write error, a closed standard output or a process
// out of descriptors; 2 for an unusable --cacert. Each failure is named on
// standard error, and those found before the first request end the run there.
int RunCheck(const Options& options);

}  // namespace lirrevo::cli
