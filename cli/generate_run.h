// lirrevo-cli's run: read the list, build the document, write it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "core/sitemap_document.h"

namespace lirrevo::cli {

// Writes the document for the input that options name; the exit code: 0, or
// 1 after one line on standard error naming the input or output and the cause.
int RunGenerate(const Options& options);

// The steps of that run, for the commands that write the same document.
// Each prints its error lines to standard error before it returns nothing or 1.

// The date every entry carries: today, or that of SOURCE_DATE_EPOCH.
std::optional<std::function<DateTime()>> DocumentClock();
// The input read and checked, as the system's text with CR LF breaks.
std::optional<std::string> ReadListText(const Options& options);
// Builds the document for the text and writes it to output (absent: standard
// output); 0 or 1.
int WriteDocument(std::string text, const std::function<DateTime()>& clock,
                  const std::optional<std::string>& output);

}  // namespace lirrevo::cli
