// lirrevo-cli scan-log: the dead links that access logs show.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Reads every log of options.logs whole and prints the dead links, or writes
// their document where -o is given, then a summary of the counts on standard
// error. 0; 1 when no line of the logs parses or the links cannot be written;
// 2, with nothing written, when a log cannot be read whole or an output is
// refused.
int RunScanLog(const Options& options);

}  // namespace lirrevo::cli
