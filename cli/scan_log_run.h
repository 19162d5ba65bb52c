// lirrevo-cli scan-log: the dead links that access logs show.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Reads every log of options.logs and prints the dead links, or writes their
// document where -o is given. 0; 1 when a log cannot be read, none of its
// lines parse, or the document cannot be written.
int RunScanLog(const Options& options);

}  // namespace lirrevo::cli
