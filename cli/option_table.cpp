#include "cli/option_table.h"

#include <algorithm>
#include <array>
#include <string>

namespace lirrevo::cli {
namespace {

constexpr unsigned kDocument = kEveryCommand;
constexpr unsigned kList = kGenerateCommand | kCheckCommand | kUpdateCommand;
constexpr unsigned kAsking = kCheckCommand | kUpdateCommand | kCrawlCommand;

constexpr std::array kOptions = {
    OptionSpec{OptionId::kEncoding, "--input-encoding", "", "E", ValueKind::kWord,
               "utf-8 gbk gb18030 utf-16", kList,
               "INPUT's encoding: utf-8 (default), gbk, gb18030, utf-16"},
    OptionSpec{OptionId::kOutput, "--output", "-o", "OUTPUT", ValueKind::kFile, "",
               kDocument & ~kUpdateCommand, "write to OUTPUT, not stdout; '-' only for generate"},
    OptionSpec{OptionId::kSplit, "--split", "", "", ValueKind::kNone, "", kDocument,
               "parts STEM-1.xml, ...; needs -o (update: --index-url)"},
    OptionSpec{OptionId::kMaxUrls, "--max-urls", "", "N", ValueKind::kWord, "", kDocument,
               "with --split: links a part (default 50000)"},
    OptionSpec{OptionId::kMaxBytes, "--max-bytes", "", "N", ValueKind::kWord, "", kDocument,
               "with --split: bytes a part, uncompressed (default 10 MiB)"},
    OptionSpec{OptionId::kIndexUrl, "--index-url", "", "BASE", ValueKind::kWord, "", kDocument,
               "with --split: OUTPUT is the parts' index, locs in BASE"},
    OptionSpec{OptionId::kMaxInput, "--max-input", "", "SIZE", ValueKind::kWord, "", kList,
               "read at most SIZE bytes of INPUT (K, M, G, T; default 2G)"},
    OptionSpec{OptionId::kGzip, "--gzip", "", "", ValueKind::kNone, "", kDocument,
               "gzip every file written; names get .gz (check, crawl: -o)"},
    OptionSpec{OptionId::kStandard, "--standard", "", "", ValueKind::kNone, "", kDocument,
               "the sitemaps.org form (check, crawl: with -o)"},
    OptionSpec{OptionId::kConcurrency, "--concurrency", "", "N", ValueKind::kWord, "", kAsking,
               "at most N requests in flight, 1-1000 (default 32)"},
    OptionSpec{OptionId::kTimeout, "--timeout", "", "SECONDS", ValueKind::kWord, "", kAsking,
               "the most one request may take (default 10)"},
    OptionSpec{OptionId::kCacert, "--cacert", "", "FILE", ValueKind::kFile, "", kAsking,
               "also trust the CA certificates in FILE (PEM)"},
    OptionSpec{OptionId::kFormat, "--format", "", "FORMAT", ValueKind::kWord, "tsv json",
               kCheckCommand | kScanLogCommand | kCrawlCommand,
               "tsv or json lines; scan-log: a report (no -o)"},
    OptionSpec{OptionId::kRate, "--rate", "", "N", ValueKind::kWord, "", kAsking,
               "at most N requests a second to one host (0.5: one in 2 s)"},
    OptionSpec{OptionId::kSitemap, "--sitemap", "", "", ValueKind::kNone, "", kCheckCommand,
               "INPUT is a sitemap (file or URL); its locs are the links"},
    OptionSpec{OptionId::kSite, "--site", "", "URL", ValueKind::kWord, "", kScanLogCommand,
               "the site's address, put before each logged path"},
    OptionSpec{OptionId::kStatus, "--status", "", "LIST", ValueKind::kWord, "404,410 404 410",
               kScanLogCommand, "the statuses that mean dead (default 404,410)"},
    OptionSpec{OptionId::kLogFormat, "--log-format", "", "FORMAT", ValueKind::kWord, "",
               kScanLogCommand, "the logs' layout as an nginx log_format"},
    OptionSpec{OptionId::kCrawlers, "--crawlers", "", "", ValueKind::kNone, "", kScanLogCommand,
               "only requests of the search engines' crawlers"},
    OptionSpec{OptionId::kCrawler, "--crawler", "", "NAME", ValueKind::kWord,
               "google bing baidu yandex sogou 360 bytedance shenma yahoo duckduckgo apple "
               "naver seznam petal",
               kScanLogCommand, "only that engine's crawler: google, bing, baidu, ..."},
    OptionSpec{OptionId::kExclude, "--exclude", "", "GLOB", ValueKind::kWord, "",
               kScanLogCommand | kCrawlCommand,
               "leave out paths GLOB matches ('*' crosses /); repeatable"},
    OptionSpec{OptionId::kMinHits, "--min-hits", "", "N", ValueKind::kWord, "", kScanLogCommand,
               "only links asked for N times or more"},
    OptionSpec{OptionId::kStripQuery, "--strip-query", "", "", ValueKind::kNone, "",
               kScanLogCommand, "take the query off each path: its variants are one link"},
    OptionSpec{OptionId::kSince, "--since", "", "DATE", ValueKind::kWord, "", kScanLogCommand,
               "only requests at DATE or later: 2026-12-05[T08:00]"},
    OptionSpec{OptionId::kUntil, "--until", "", "DATE", ValueKind::kWord, "", kScanLogCommand,
               "only requests up to DATE (a day: to its end)"},
    OptionSpec{OptionId::kMaxPages, "--max-pages", "", "N", ValueKind::kWord, "", kCrawlCommand,
               "read at most N pages (default 100000)"},
    OptionSpec{OptionId::kDepth, "--depth", "", "N", ValueKind::kWord, "", kCrawlCommand,
               "read pages at most N links below a start (0: starts)"},
    OptionSpec{OptionId::kExternal, "--external", "", "", ValueKind::kNone, "", kCrawlCommand,
               "check links to other sites too (never written to -o)"},
    OptionSpec{OptionId::kSitemaps, "--sitemaps", "", "", ValueKind::kNone, "", kCrawlCommand,
               "start from the sitemaps robots.txt names as well"},
    OptionSpec{OptionId::kHelp, "--help", "-h", "", ValueKind::kNone, "", kEveryCommand,
               "show this help"},
    OptionSpec{OptionId::kVersion, "--version", "", "", ValueKind::kNone, "", kEveryCommand,
               "show the version"},
};

constexpr std::array kCommands = {
    CommandRow{Command::kGenerate, kGenerateCommand, "generate",
               "write the dead-link document for a list of links", "", "[INPUT]",
               "lirrevo-cli -o dead.xml links.txt"},
    CommandRow{Command::kCheck, kCheckCommand, "check",
               "ask every link and print its verdict; -o: the dead ones' document", "", "[INPUT]",
               "lirrevo-cli check -o dead.xml links.txt"},
    CommandRow{Command::kScanLog, kScanLogCommand, "scan-log",
               "list the dead links that access logs show", "--site", "[LOG...]",
               "lirrevo-cli scan-log --site https://example.com access.log access.log.1.gz"},
    CommandRow{Command::kUpdate, kUpdateCommand, "update",
               "keep a dead-link file true: its links and new ones asked again", "",
               "FILE [INPUT...]", "lirrevo-cli update dead.xml new-links.txt"},
    CommandRow{Command::kCrawl, kCrawlCommand, "crawl",
               "read a site's pages below URL's folder; check every link on them", "", "URL...",
               "lirrevo-cli crawl -o dead.xml https://example.com/"},
};

// The options of the commands, space-separated, for completion.
std::string NamesFor(unsigned command) {
  std::string names;
  for (const OptionSpec& option : kOptions) {
    if ((option.commands & command) == 0) continue;
    if (!option.short_name.empty()) names += std::string(option.short_name) + " ";
    names += std::string(option.name) + " ";
  }
  names.pop_back();
  return names;
}

// A bash case pattern of the options whose value is of the kind.
std::string PatternOf(ValueKind kind, bool with_choices) {
  std::string pattern;
  for (const OptionSpec& option : kOptions) {
    if (option.kind != kind || option.choices.empty() != !with_choices) continue;
    if (!pattern.empty()) pattern += "|";
    if (!option.short_name.empty()) pattern += std::string(option.short_name) + "|";
    pattern += option.name;
  }
  return pattern;
}

}  // namespace

std::span<const OptionSpec> OptionTable() { return kOptions; }

std::span<const CommandRow> CommandTable() { return kCommands; }

const OptionSpec* FindOption(std::string_view name) {
  const auto found = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& o) {
    return o.name == name || (!o.short_name.empty() && o.short_name == name);
  });
  return found == kOptions.end() ? nullptr : &*found;
}

const CommandRow* FindCommand(std::string_view name) {
  const auto found = std::ranges::find(kCommands, name, &CommandRow::name);
  return found == kCommands.end() ? nullptr : &*found;
}

const CommandRow& RowOf(Command command) {
  return *std::ranges::find(kCommands, command, &CommandRow::command);
}

std::string BashCompletion() {
  std::string names;
  std::string alternatives;
  std::string cases;
  for (const CommandRow& command : kCommands) {
    names += (names.empty() ? "" : " ") + std::string(command.name);
    alternatives += (alternatives.empty() ? "" : " | ") + std::string(command.name);
    cases +=
        "      " + std::string(command.name) + ") options=\"" + NamesFor(command.bit) + "\" ;;\n";
  }
  std::string script =
      "# bash completion for lirrevo-cli, made from its option table.\n"
      "_lirrevo_cli() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command=" +
      std::string(kCommands[0].name) +
      "\n"
      "  case ${COMP_WORDS[1]} in " +
      alternatives +
      ") command=${COMP_WORDS[1]} ;; esac\n"
      "  case $prev in\n"
      "    " +
      PatternOf(ValueKind::kFile, false) +
      ")\n"
      "      COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
  for (const OptionSpec& option : kOptions) {
    if (option.choices.empty()) continue;
    script += "    " + std::string(option.name) + ")\n      COMPREPLY=($(compgen -W \"" +
              std::string(option.choices) + "\" -- \"$cur\")); return ;;\n";
  }
  script += "    " + PatternOf(ValueKind::kWord, false) +
            ")\n      return ;;\n"
            "  esac\n"
            "  if [[ $cur == -* ]]; then\n"
            "    local options\n"
            "    case $command in\n" +
            cases +
            "    esac\n"
            "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
            "  elif ((COMP_CWORD == 1)); then\n"
            "    COMPREPLY=($(compgen -W \"" +
            names +
            "\" -- \"$cur\") $(compgen -f -- \"$cur\"))\n"
            "  else\n"
            "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
            "  fi\n"
            "}\n"
            "complete -o filenames -F _lirrevo_cli lirrevo-cli\n";
  return script;
}

}  // namespace lirrevo::cli
