// lirrevo-cli crawl: a site's pages read from its addresses, every link they
// hold checked, the broken ones printed with a page that links to them.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// Crawls from options.inputs, prints a line for each link that is not alive
// and a summary, and with -o writes the document of the site's dead links.
// 0 when no link is broken, 1 when one is, 2 on trouble (no page read, an
// output not written), 130 when interrupted: what was found is printed and
// no document written.
int RunCrawl(const Options& options);

}  // namespace lirrevo::cli
