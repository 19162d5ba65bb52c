// What lirrevo-cli's help says, and its synopses as the README and the man
// page show them, all made from the command and option tables.
#pragma once

#include <string>
#include <string_view>

#include "cli/option_table.h"

namespace lirrevo::cli {

// The widest line any of the texts below holds.
inline constexpr std::size_t kHelpWidth = 80;

// `lirrevo-cli --help`: the commands, one line each, and the global options.
std::string MainHelp();

// `lirrevo-cli COMMAND --help`: its synopsis, its options one line each,
// and its example.
std::string CommandHelp(const CommandRow& command);

// "lirrevo-cli check [--input-encoding E] ... [INPUT]": every option the
// command takes but the global ones, each in brackets unless the command
// needs it, wrapped within kHelpWidth columns, each further line lined up
// under the first option. lead ("usage: ") goes before the first line.
std::string Synopsis(const CommandRow& command, std::string_view lead = "");

// The man page's SYNOPSIS section, from its .SH line on, every command in
// roff (.SY, .OP, .YS).
std::string ManSynopsis();

}  // namespace lirrevo::cli
