// lirrevo-cli's commands, one run each; each gives the process's exit code.
#pragma once

#include "cli/arguments.h"

namespace lirrevo::cli {

// generate, lirrevo-cli's run: read the list, build the document, write it.
// Writes the document for the input that options name; the exit code: 0, 1
// after the input's or the output's errors on standard error, or 2 for an
// output that cannot be (see CheckOutputs and WriteDocuments).
int RunGenerate(const Options& options);

// check: read the list, ask every link, tell what each one is.
// Writes "CLASS<TAB>CODE<TAB>LINK<TAB>DETAIL" (or its JSON) per distinct
// link, in input order, to standard output and a summary to standard error;
// with options.output also the document of the dead links. 0 when every link
// is dead; 1 when one is not; 2 on trouble: a usage error, an input not read
// whole, an output not written, a skipped sitemap, a closed standard output,
// a process out of descriptors. Each failure is named on standard error, and
// those found before the first request end the run there.
int RunCheck(const Options& options);

// update: keeps a dead-link file true, run after run.
// Asks every link of options.output (FILE) and of options.inputs once, FILE's
// first, and rewrites FILE in its form with the links that are dead now: a
// link of FILE that got no verdict keeps its place, one that is no longer
// dead leaves, and a new link joins only when it is dead. Each change is
// named on standard error, and a summary ends it. FILE keeps its bytes where
// nothing changed, and is made where it does not exist. 0 when every link is
// dead; 1 when one is not; 2 on trouble (as check), FILE left as it was.
int RunUpdate(const Options& options);

// crawl: a site's pages read from its addresses, every link they hold
// checked, the broken ones printed with a page that links to them.
// Crawls from options.inputs, prints a line for each link that is not alive
// and a summary, and with -o writes the document of the site's dead links.
// 0 when no link is broken, 1 when one is, 2 on trouble (no page read, an
// output not written), 130 when interrupted: what was found is printed and
// no document written.
int RunCrawl(const Options& options);

// scan-log: the dead links that access logs show.
// Reads every log of options.inputs whole and prints the dead links, or writes
// their document where -o is given, then a summary of the counts on standard
// error. 0; 1 when no line of the logs parses or the links cannot be written;
// 2, with nothing written, when a log cannot be read whole or an output is
// refused.
int RunScanLog(const Options& options);

}  // namespace lirrevo::cli
