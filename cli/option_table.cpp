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
               "encoding of INPUT: utf-8 (default; a UTF-16 file with\n"
               "a byte-order mark is also read), gbk (gb2312 is read\n"
               "as gbk), gb18030 or utf-16"},
    OptionSpec{OptionId::kOutput, "--output", "-o", "OUTPUT", ValueKind::kFile, "",
               kDocument & ~kUpdateCommand,
               "write the document to OUTPUT instead of standard\n"
               "output; '-' is standard output"},
    OptionSpec{OptionId::kSplit, "--split", "", "", ValueKind::kNone, "", kDocument,
               "write parts STEM-1.xml, STEM-2.xml, ... beside OUTPUT\n"
               "(STEM: OUTPUT without .xml and .gz), each a whole\n"
               "document, cut between entries; needs -o, and OUTPUT\n"
               "is written only with --index-url. Without --split\n"
               "a list past 50,000 links or 10,485,760 bytes is\n"
               "written whole, with a warning"},
    OptionSpec{OptionId::kMaxUrls, "--max-urls", "", "N", ValueKind::kWord, "", kDocument,
               "links per part (default 50000)"},
    OptionSpec{OptionId::kMaxBytes, "--max-bytes", "", "N", ValueKind::kWord, "", kDocument,
               "bytes per part, uncompressed (default 10485760)"},
    OptionSpec{OptionId::kIndexUrl, "--index-url", "", "BASE", ValueKind::kWord, "", kDocument,
               "OUTPUT becomes the parts' sitemapindex; each loc is\n"
               "the part's name, percent-encoded, in the folder BASE\n"
               "names (http or https, host, port and path only)"},
    OptionSpec{OptionId::kMaxInput, "--max-input", "", "SIZE", ValueKind::kWord, "", kList,
               "read at most SIZE bytes of INPUT (a number, or with\n"
               "K, M, G, T: powers of 1024; default 2G); a larger\n"
               "input is refused"},
    OptionSpec{OptionId::kGzip, "--gzip", "", "", ValueKind::kNone, "", kDocument,
               "compress every file written (and standard output)\n"
               "with gzip; names get .gz"},
    OptionSpec{OptionId::kStandard, "--standard", "", "", ValueKind::kNone, "", kDocument,
               "the sitemaps.org form: its namespace, dates as\n"
               "YYYY-MM-DD, empty lines skipped"},
    OptionSpec{OptionId::kConcurrency, "--concurrency", "", "N", ValueKind::kWord, "", kAsking,
               "check, update, crawl: at most N requests in flight (default 32,\n"
               "1-1000); never more than 4 to one host"},
    OptionSpec{OptionId::kTimeout, "--timeout", "", "SECONDS", ValueKind::kWord, "", kAsking,
               "check, update, crawl: the most one request may take (default 10)"},
    OptionSpec{OptionId::kCacert, "--cacert", "", "FILE", ValueKind::kFile, "", kAsking,
               "check, update, crawl: also trust the CA certificates in\n"
               "FILE (PEM)"},
    OptionSpec{OptionId::kFormat, "--format", "", "FORMAT", ValueKind::kWord, "tsv json",
               kCheckCommand | kScanLogCommand | kCrawlCommand,
               "check, crawl: tsv (default) or json, one object a\n"
               "line with the fields class, code, link and detail;\n"
               "scan-log: a report of one line a link instead of the\n"
               "list"},
    OptionSpec{OptionId::kRate, "--rate", "", "N", ValueKind::kWord, "", kAsking,
               "check, update, crawl: at most N requests a second to one host\n"
               "(fractions allowed: 0.5 is one every 2 s); default\n"
               "no bound but the 4 in flight"},
    OptionSpec{OptionId::kSitemap, "--sitemap", "", "", ValueKind::kNone, "", kCheckCommand,
               "check: INPUT is a sitemap (urlset or sitemapindex,\n"
               "plain or gzip, a file or an http(s) URL): its locs\n"
               "are the links"},
    OptionSpec{OptionId::kSite, "--site", "", "URL", ValueKind::kWord, "", kScanLogCommand,
               "scan-log: the site's address, put before each path"},
    OptionSpec{OptionId::kStatus, "--status", "", "LIST", ValueKind::kWord, "404,410 404 410",
               kScanLogCommand, "scan-log: the statuses that mean dead (default 404,410)"},
    OptionSpec{OptionId::kLogFormat, "--log-format", "", "FORMAT", ValueKind::kWord, "",
               kScanLogCommand,
               "scan-log: the log's layout as an nginx log_format\n"
               "($request or $request_method and $request_uri, and\n"
               "$status are read)"},
    OptionSpec{OptionId::kCrawlers, "--crawlers", "", "", ValueKind::kNone, "", kScanLogCommand,
               "scan-log: only requests whose user agent is a search\n"
               "engine's crawler (the table in README; the layout\n"
               "must hold $http_user_agent)"},
    OptionSpec{OptionId::kCrawler, "--crawler", "", "NAME", ValueKind::kWord,
               "google bing baidu yandex sogou 360 bytedance shenma yahoo duckduckgo apple "
               "naver seznam petal",
               kScanLogCommand, "scan-log: only the requests of that engine's crawler"},
    OptionSpec{OptionId::kExclude, "--exclude", "", "GLOB", ValueKind::kWord, "",
               kScanLogCommand | kCrawlCommand,
               "scan-log, crawl: leave out links whose path (without\n"
               "its query) matches GLOB, '*' crossing '/'; crawl: a\n"
               "GLOB not starting with '/' matches the whole URL;\n"
               "repeatable"},
    OptionSpec{OptionId::kMinHits, "--min-hits", "", "N", ValueKind::kWord, "", kScanLogCommand,
               "scan-log: only links asked for N times or more"},
    OptionSpec{OptionId::kStripQuery, "--strip-query", "", "", ValueKind::kNone, "",
               kScanLogCommand,
               "scan-log: take the query off each path: its variants\n"
               "are one link"},
    OptionSpec{OptionId::kSince, "--since", "", "DATE", ValueKind::kWord, "", kScanLogCommand,
               "scan-log: only requests at DATE or later: 2026-12-05,\n"
               "2026-12-05T08:00 (the log's time, unless +08:00 or Z\n"
               "follows); the layout must hold $time_local or\n"
               "$time_iso8601"},
    OptionSpec{OptionId::kUntil, "--until", "", "DATE", ValueKind::kWord, "", kScanLogCommand,
               "scan-log: only requests up to DATE (a day: to its end)"},
    OptionSpec{OptionId::kMaxPages, "--max-pages", "", "N", ValueKind::kWord, "", kCrawlCommand,
               "crawl: read at most N pages (default 100000)"},
    OptionSpec{OptionId::kDepth, "--depth", "", "N", ValueKind::kWord, "", kCrawlCommand,
               "crawl: read pages at most N links below a start\n"
               "(0: the starts alone; default no bound)"},
    OptionSpec{OptionId::kExternal, "--external", "", "", ValueKind::kNone, "", kCrawlCommand,
               "crawl: check links to other sites too (reported,\n"
               "never written to -o)"},
    OptionSpec{OptionId::kSitemaps, "--sitemaps", "", "", ValueKind::kNone, "", kCrawlCommand,
               "crawl: start from the sitemaps that robots.txt\n"
               "names as well"},
    OptionSpec{OptionId::kHelp, "--help", "-h", "", ValueKind::kNone, "", kEveryCommand,
               "show this help"},
    OptionSpec{OptionId::kVersion, "--version", "", "", ValueKind::kNone, "", kEveryCommand,
               "show the version"},
};

// The text of --help starts in this column; an option wider than it leaves
// two spaces at least, or goes on a line of its own.
constexpr std::size_t kTextColumn = 22;

std::string Column(const OptionSpec& option) {
  std::string column = "  ";
  if (!option.short_name.empty()) column += std::string(option.short_name) + ", ";
  column += option.name;
  if (!option.value.empty()) column += " " + std::string(option.value);
  return column;
}

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

const OptionSpec* FindOption(std::string_view name) {
  const auto found = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& o) {
    return o.name == name || (!o.short_name.empty() && o.short_name == name);
  });
  return found == kOptions.end() ? nullptr : &*found;
}

std::string OptionHelp() {
  std::string help;
  for (const OptionSpec& option : kOptions) {
    std::string line = Column(option);
    if (line.size() + 2 > kTextColumn) {
      help += line + "\n";
      line.clear();
    }
    std::string_view text = option.help;
    for (;;) {
      const std::size_t end = std::min(text.find('\n'), text.size());
      line.resize(kTextColumn, ' ');
      help += line + std::string(text.substr(0, end)) + "\n";
      line.clear();
      if (end == text.size()) break;
      text.remove_prefix(end + 1);
    }
  }
  return help;
}

std::string BashCompletion() {
  std::string script =
      "# bash completion for lirrevo-cli, made from its option table.\n"
      "_lirrevo_cli() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command=generate\n"
      "  case ${COMP_WORDS[1]} in check | scan-log | update | crawl) command=${COMP_WORDS[1]} ;; "
      "esac\n"
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
  script +=
      "    " + PatternOf(ValueKind::kWord, false) +
      ")\n      return ;;\n"
      "  esac\n"
      "  if [[ $cur == -* ]]; then\n"
      "    local options\n"
      "    case $command in\n"
      "      generate) options=\"" +
      NamesFor(kGenerateCommand) +
      "\" ;;\n"
      "      check) options=\"" +
      NamesFor(kCheckCommand) +
      "\" ;;\n"
      "      scan-log) options=\"" +
      NamesFor(kScanLogCommand) +
      "\" ;;\n"
      "      update) options=\"" +
      NamesFor(kUpdateCommand) +
      "\" ;;\n"
      "      crawl) options=\"" +
      NamesFor(kCrawlCommand) +
      "\" ;;\n"
      "    esac\n"
      "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      "  elif ((COMP_CWORD == 1)); then\n"
      "    COMPREPLY=($(compgen -W \"check scan-log update crawl\" -- \"$cur\") $(compgen -f -- "
      "\"$cur\"))\n"
      "  else\n"
      "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      "  fi\n"
      "}\n"
      "complete -o filenames -F _lirrevo_cli lirrevo-cli\n";
  return script;
}

}  // namespace lirrevo::cli
