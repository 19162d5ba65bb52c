// lirrevo-cli update: keeps a dead-link file true, run after run.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Asks every link of options.output (FILE) and of options.inputs once, FILE's
// first, and rewrites FILE in its form with the links that are dead now: a
// link of FILE that got no verdict keeps its place, one that is no longer
// dead leaves, and a new link joins only when it is dead. Each change is
// named on standard error, and a summary ends it. FILE keeps its bytes where
// nothing changed, and is made where it does not exist. 0 when every link is
// dead; 1 when one is not; 2 on trouble (as check), FILE left as it was.
int RunUpdate(const Options& options);

}  // namespace lirrevo::cli
