#include "cli/help_text.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/ascii.h"

namespace lirrevo::cli {
namespace {

// Whether the option ends the run before any command starts (--help,
// --version): every command takes it, and no synopsis shows it.
bool IsGlobal(const OptionSpec& option) {
  return option.id == OptionId::kHelp || option.id == OptionId::kVersion;
}

// "-o, --output OUTPUT": an option as the help lists it.
std::string Column(const OptionSpec& option) {
  std::string column;
  if (!option.short_name.empty()) column += std::string(option.short_name) + ", ";
  column += option.name;
  if (!option.value.empty()) column += " " + std::string(option.value);
  return column;
}

// The options' text starts in one column for every command, two spaces
// after the widest option, so that each option takes one line.
std::size_t TextColumn() {
  std::size_t widest = 0;
  for (const OptionSpec& option : OptionTable()) widest = std::max(widest, Column(option).size());
  return 2 + widest + 2;
}

// "  ITEM", padded to the column, then the text: a line of a help's list.
std::string ListLine(std::string_view item, std::size_t column, std::string_view text) {
  std::string line = "  " + std::string(item);
  line.resize(column, ' ');
  return line + std::string(text) + "\n";
}

// "ask every link" as a sentence: "Ask every link."
std::string Sentence(std::string_view text) {
  std::string sentence(text);
  if (!sentence.empty()) {
    sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
  }
  return sentence + ".";
}

// A synopsis's pieces: the command (bracketed where it may be left out), the
// option it needs, the others it takes, and its operands ("[LOG...]").
struct SynopsisPieces {
  bool implied = false;
  const OptionSpec* required = nullptr;
  std::vector<const OptionSpec*> options;
  std::vector<std::string_view> operands;
};

SynopsisPieces PiecesOf(const CommandRow& command) {
  SynopsisPieces pieces;
  pieces.implied = &command == &CommandTable().front();
  if (!command.required.empty()) pieces.required = FindOption(command.required);
  for (const OptionSpec& option : OptionTable()) {
    if ((option.commands & command.bit) == 0 || IsGlobal(option) || &option == pieces.required) {
      continue;
    }
    pieces.options.push_back(&option);
  }
  std::string_view operands = command.operands;
  while (!operands.empty()) {
    const std::size_t end = std::min(operands.find(' '), operands.size());
    pieces.operands.push_back(operands.substr(0, end));
    operands.remove_prefix(std::min(end + 1, operands.size()));
  }
  return pieces;
}

// "-o", "--split": the name a synopsis gives the option.
std::string_view ShortestName(const OptionSpec& option) {
  return option.short_name.empty() ? option.name : option.short_name;
}

// The synopsis's words after the program's name, each kept on one line.
std::vector<std::string> SynopsisWords(const CommandRow& command) {
  const SynopsisPieces pieces = PiecesOf(command);
  const std::string name(command.name);
  std::vector<std::string> words = {pieces.implied ? "[" + name + "]" : name};
  if (pieces.required != nullptr) {
    words.push_back(std::string(pieces.required->name) + " " + std::string(pieces.required->value));
  }
  for (const OptionSpec* option : pieces.options) {
    std::string word = "[" + std::string(ShortestName(*option));
    if (!option->value.empty()) word += " " + std::string(option->value);
    words.push_back(word + "]");
  }
  words.insert(words.end(), pieces.operands.begin(), pieces.operands.end());
  return words;
}

// "\-\-input\-encoding": text set in roff, its hyphens as minus signs.
std::string Roff(std::string_view text) {
  std::string roff;
  for (const char c : text) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  return roff;
}

// An operand in roff: "[LOG...]" gives ".RI [ log ...]", "FILE" ".I file".
std::string RoffOperand(std::string_view operand) {
  const bool optional = operand.starts_with('[') && operand.ends_with(']');
  if (optional) operand = operand.substr(1, operand.size() - 2);
  const bool repeated = operand.ends_with("...");
  if (repeated) operand.remove_suffix(3);
  const std::string name = LowerAscii(std::string(operand));
  if (optional) return ".RI [ " + name + (repeated ? " ...]" : " ]") + "\n";
  return repeated ? ".IR " + name + " ...\n" : ".I " + name + "\n";
}

std::string ManCommand(const CommandRow& command) {
  const SynopsisPieces pieces = PiecesOf(command);
  std::string roff = ".SY lirrevo\\-cli\n";
  roff +=
      pieces.implied ? ".RB [ " + Roff(command.name) + " ]\n" : ".B " + Roff(command.name) + "\n";
  if (pieces.required != nullptr) {
    roff += ".B " + Roff(pieces.required->name) + "\n.I " +
            LowerAscii(std::string(pieces.required->value)) + "\n";
  }
  for (const OptionSpec* option : pieces.options) {
    roff += ".OP " + Roff(ShortestName(*option)) +
            (option->value.empty() ? "" : " " + LowerAscii(std::string(option->value))) + "\n";
  }
  for (const std::string_view operand : pieces.operands) roff += RoffOperand(operand);
  return roff + ".YS\n";
}

}  // namespace

std::string MainHelp() {
  std::string help =
      "usage: lirrevo-cli [COMMAND] [OPTIONS] [ARGUMENTS]\n\n"
      "Writes dead-link submission files (sitemap urlset) and finds dead links.\n\n"
      "Commands (" +
      std::string(CommandTable().front().name) + " when none is named):\n";
  std::size_t widest = 0;
  for (const CommandRow& command : CommandTable()) widest = std::max(widest, command.name.size());
  for (const CommandRow& command : CommandTable()) {
    help += ListLine(command.name, 2 + widest + 2, command.summary);
  }
  help += "\nOptions:\n";
  for (const OptionSpec& option : OptionTable()) {
    if (IsGlobal(option)) help += ListLine(Column(option), TextColumn(), option.help);
  }
  return help +
         "\n'lirrevo-cli COMMAND --help' shows a command's options and an example;\n"
         "'man lirrevo-cli' tells the rest. An input file named as a command is\n"
         "given as './NAME'.\n";
}

std::string CommandHelp(const CommandRow& command) {
  std::string help = Synopsis(command, "usage: ") + "\n" + Sentence(command.summary) + "\n\n";
  help += "Options:\n";
  for (const OptionSpec& option : OptionTable()) {
    if ((option.commands & command.bit) != 0)
      help += ListLine(Column(option), TextColumn(), option.help);
  }
  return help + "\nExample:\n  " + std::string(command.example) + "\n";
}

std::string Synopsis(const CommandRow& command, std::string_view lead) {
  const std::vector<std::string> words = SynopsisWords(command);
  std::string text = std::string(lead) + "lirrevo-cli " + words.front();
  const std::size_t indent = text.size() + 1;
  std::size_t line_start = 0;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (text.size() - line_start + 1 + words[i].size() > kHelpWidth) {
      line_start = text.size() + 1;
      text += "\n" + std::string(indent, ' ') + words[i];
    } else {
      text += " " + words[i];
    }
  }
  return text + "\n";
}

std::string ManSynopsis() {
  std::string roff = ".SH SYNOPSIS\n";
  for (const CommandRow& command : CommandTable()) roff += ManCommand(command);
  return roff;
}

}  // namespace lirrevo::cli
