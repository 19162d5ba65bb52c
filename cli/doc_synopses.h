// The synopses that README.md and the man page carry, put in step with the
// command and option tables (cli/help_text.h makes them).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::cli {

// A document with its synopses made anew: the whole text, what it held
// otherwise (the commands' names, or "SYNOPSIS" for the man page's section),
// and, where it cannot be put in step (a marker missing, repeated or naming
// no command), why, the text then being empty.
struct SynopsesInDocument {
  std::string text;
  std::vector<std::string> changed;
  std::string problem;
};

// README.md: every command's synopsis is the indented block that follows the
// line "<!-- synopsis: NAME -->" and one blank line, each line indented by
// four spaces. Every command of the table has one such marker.
SynopsesInDocument ReadmeWithSynopses(std::string_view readme);

// The man page: its section from ".SH SYNOPSIS" up to the next ".SH" line.
SynopsesInDocument ManPageWithSynopsis(std::string_view page);

}  // namespace lirrevo::cli
