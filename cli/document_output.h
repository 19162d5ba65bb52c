// Where lirrevo-cli's documents go, for every command that writes one: one
// file or the parts of a long list with their index, through the core's
// DocumentWriter, or standard output, gzipped where asked; and what the
// command says about them.
#pragma once

#include <functional>
#include <optional>

#include "cli/arguments.h"
#include "core/document/sitemap_document.h"

namespace lirrevo::cli {

// The date every entry carries: today's local date, or the UTC date of
// SOURCE_DATE_EPOCH; nothing (after the error is printed) when that is no
// number of seconds.
std::optional<DateTime> DocumentDate();

// Refuses, before the input is read, what cannot be written: --max-bytes
// below the smallest document with one entry, or an output (the document, the
// index, a part already there) that is the input file by any name. The exit
// code: 0, or 2 after one line that says why.
int CheckOutputs(const Options& options, const DateTime& date);

// Builds the documents of the locs (checked UTF-8) that fill hands to the
// builder and writes them as options say (-o, --split, --max-urls,
// --max-bytes, --index-url, --gzip, --standard). With --split the parts
// numbered past this run's that an earlier, longer run left go in the same
// commit, once the new files are in place. Then it says on standard error
// what it wrote where that is not just OUTPUT and what it removed, and warns
// of what search engines would refuse. The exit code: 0, or 1 after one line
// naming the file and the cause, or 2 when a part to write or remove turns
// out to be the input or the list needs more parts than an index lists;
// nothing is put in place or removed then.
int WriteDocuments(const Options& options, const DateTime& date,
                   const std::function<void(DocumentBuilder&)>& fill);

}  // namespace lirrevo::cli
