// lirrevo-cli's input: the list read from its file or standard input, then
// decoded and checked in one pass as it is read.
#pragma once

#include <optional>
#include <string>

#include "cli/arguments.h"
#include "core/document/list_input.h"

namespace lirrevo::cli {

// The list that options name, read and checked; nothing after its errors
// (the read error, or every bad line by number) are printed on standard error.
std::optional<DecodedList> ReadList(const Options& options);

}  // namespace lirrevo::cli
