// lirrevo-cli's input: the list read from its file or standard input, then
// decoded and checked in one pass.
#pragma once

#include <memory>
#include <string>

#include "cli/arguments.h"
#include "core/list_input.h"

namespace lirrevo::cli {

// Held by pointer: list views bytes where they are UTF-8.
struct InputList {
  std::string bytes;  // as read
  DecodedList list;
};

// "standard input" or "'NAME'", as messages name the input.
std::string InputName(const Options& options);

// The list that options name, read and checked; null after its errors
// (the read error, or every bad line by number) are printed on standard error.
std::unique_ptr<InputList> ReadList(const Options& options);

}  // namespace lirrevo::cli
