#include "cli/doc_synopses.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/help_text.h"
#include "cli/option_table.h"

namespace lirrevo::cli {
namespace {

constexpr std::string_view kMarkerStart = "<!-- synopsis: ";
constexpr std::string_view kMarkerEnd = " -->";
constexpr std::string_view kIndent = "    ";

// The text's lines, each with its '\n' where it has one.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n') + 1, text.size());
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return lines;
}

// The command a marker line names ("check"), or empty for any other line.
std::string_view MarkerName(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (!line.starts_with(kMarkerStart) || !line.ends_with(kMarkerEnd)) return {};
  return line.substr(kMarkerStart.size(), line.size() - kMarkerStart.size() - kMarkerEnd.size());
}

std::string Indented(std::string_view text) {
  std::string indented;
  for (const std::string_view line : Lines(text))
    indented += std::string(kIndent) + std::string(line);
  return indented;
}

SynopsesInDocument Problem(std::string why) {
  return {.text = {}, .changed = {}, .problem = std::move(why)};
}

}  // namespace

SynopsesInDocument ReadmeWithSynopses(std::string_view readme) {
  SynopsesInDocument result;
  const std::vector<std::string_view> lines = Lines(readme);
  std::set<std::string_view> seen;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    result.text += lines[i];
    const std::string_view name = MarkerName(lines[i]);
    if (name.empty()) continue;
    const CommandRow* command = FindCommand(name);
    if (command == nullptr) {
      return Problem("a synopsis marker names no command: '" + std::string(name) + "'");
    }
    if (!seen.insert(name).second) return Problem("two synopses of " + std::string(name));
    if (i + 1 == lines.size() || lines[i + 1] != "\n") {
      return Problem("no blank line after the synopsis marker of " + std::string(name));
    }
    result.text += lines[++i];
    std::string held;
    while (i + 1 < lines.size() && lines[i + 1].starts_with(kIndent)) held += lines[++i];
    const std::string made = Indented(Synopsis(*command));
    if (held != made) result.changed.emplace_back(name);
    result.text += made;
  }
  for (const CommandRow& command : CommandTable()) {
    if (!seen.contains(command.name)) {
      return Problem("no synopsis of " + std::string(command.name) + ": no line \"" +
                     std::string(kMarkerStart) + std::string(command.name) +
                     std::string(kMarkerEnd) + "\"");
    }
  }
  return result;
}

SynopsesInDocument ManPageWithSynopsis(std::string_view page) {
  const std::vector<std::string_view> lines = Lines(page);
  const auto start = std::find(lines.begin(), lines.end(), ".SH SYNOPSIS\n");
  if (start == lines.end()) return Problem("no line \".SH SYNOPSIS\"");
  const auto end = std::find_if(start + 1, lines.end(),
                                [](std::string_view line) { return line.starts_with(".SH "); });
  std::string before;
  std::string held;
  std::string after;
  for (auto line = lines.begin(); line != lines.end(); ++line) {
    (line < start ? before : line < end ? held : after) += *line;
  }
  SynopsesInDocument result;
  result.text = before + ManSynopsis() + after;
  if (held != ManSynopsis()) result.changed.emplace_back("SYNOPSIS");
  return result;
}

}  // namespace lirrevo::cli
