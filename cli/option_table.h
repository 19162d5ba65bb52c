// lirrevo-cli's commands and options, written down once: the parser takes
// them, --help lists them, the bash completion offers them, and the README
// and the man page show the synopses made from these two tables, so that
// none of them can drift apart.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace lirrevo::cli {

enum class OptionId {
  kEncoding,
  kOutput,
  kSplit,
  kMaxUrls,
  kMaxBytes,
  kIndexUrl,
  kMaxInput,
  kGzip,
  kStandard,
  kConcurrency,
  kTimeout,
  kCacert,
  kFormat,
  kRate,
  kSitemap,
  kSite,
  kStatus,
  kLogFormat,
  kCrawlers,
  kCrawler,
  kExclude,
  kMinHits,
  kStripQuery,
  kSince,
  kUntil,
  kMaxPages,
  kDepth,
  kExternal,
  kSitemaps,
  kHelp,
  kVersion
};

// The document, the check of links, the scan of access logs, the update of a
// dead-link file, the crawl of a site.
enum class Command { kGenerate, kCheck, kScanLog, kUpdate, kCrawl };

// The commands, as bits of OptionSpec::commands.
inline constexpr unsigned kGenerateCommand = 1;
inline constexpr unsigned kCheckCommand = 2;
inline constexpr unsigned kScanLogCommand = 4;
inline constexpr unsigned kUpdateCommand = 8;
inline constexpr unsigned kCrawlCommand = 16;
inline constexpr unsigned kEveryCommand = 31;

// What an option's value is: none (a flag), a file name, or another word.
enum class ValueKind { kNone, kFile, kWord };

struct OptionSpec {
  OptionId id;
  std::string_view name;        // "--output"
  std::string_view short_name;  // "-o", or empty
  std::string_view value;       // "OUTPUT" as --help shows it; empty for a flag
  ValueKind kind;
  std::string_view choices;  // the values completion offers, space-separated
  unsigned commands;         // the commands that take it
  std::string_view help;     // one short line beside it in a command's --help
};

struct CommandRow {
  Command command;
  unsigned bit;               // the commands' bit its options carry
  std::string_view name;      // "check": the first word of its command line
  std::string_view summary;   // one line in the list of commands
  std::string_view required;  // an option it cannot go without ("--site"), or empty
  std::string_view operands;  // what follows the options: "[INPUT]", "FILE [INPUT...]"
  std::string_view example;   // one whole command line
};

std::span<const OptionSpec> OptionTable();

// The commands; the first is the one run when the command line names none.
std::span<const CommandRow> CommandTable();

// The option named name ("-o", "--output"), or null.
const OptionSpec* FindOption(std::string_view name);

// The command named name ("scan-log"), or null.
const CommandRow* FindCommand(std::string_view name);

// The command's row.
const CommandRow& RowOf(Command command);

// A bash completion script for lirrevo-cli: its commands, each command's
// options, the choices of a value, and file names where a file goes.
std::string BashCompletion();

}  // namespace lirrevo::cli
