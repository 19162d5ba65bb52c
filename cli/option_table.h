// lirrevo-cli's options, written down once: the parser takes them, --help
// lists them and the bash completion offers them from this one table, so
// that the three cannot drift apart.
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
  std::string_view help;     // --help's text beside it, its lines split by '\n'
};

std::span<const OptionSpec> OptionTable();

// The option named name ("-o", "--output"), or null.
const OptionSpec* FindOption(std::string_view name);

// --help's list of the options, one entry each, the text from column 23.
std::string OptionHelp();

// A bash completion script for lirrevo-cli: its commands, each command's
// options, the choices of a value, and file names where a file goes.
std::string BashCompletion();

}  // namespace lirrevo::cli
