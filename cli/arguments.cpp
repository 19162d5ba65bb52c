#include "cli/arguments.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/url.h"
#include "cli/help_text.h"
#include "cli/option_table.h"
#include "core/logs/access_log.h"
#include "core/logs/crawlers.h"
#include "core/version.h"

namespace lirrevo::cli {

using check::AsciiBaseUrl;
using check::BaseUrlProblem;
namespace {

ParsedArguments End(std::string out) { return {.out = std::move(out)}; }

// The command's synopsis follows the message (ParseArguments adds it).
ParsedArguments UsageError(const std::string& message) {
  return {.exit_code = 2, .error = "lirrevo-cli: " + message + "\n"};
}

std::optional<ListEncoding> EncodingNamed(const std::string& name) {
  constexpr std::pair<const char*, ListEncoding> kNames[] = {
      {"utf-8", ListEncoding::kUtf8},      {"utf8", ListEncoding::kUtf8},
      {"gbk", ListEncoding::kGbk},         {"gb2312", ListEncoding::kGbk},
      {"gb18030", ListEncoding::kGb18030}, {"utf-16", ListEncoding::kUtf16Le},
      {"utf16", ListEncoding::kUtf16Le}};
  for (const auto& [known, encoding] : kNames) {
    if (strcasecmp(name.c_str(), known) == 0) return encoding;
  }
  return std::nullopt;
}

// A size in bytes: a whole number, perhaps followed by K, M, G or T (also
// KiB ...), powers of 1024.
std::optional<std::size_t> Size(const std::string& text) {
  const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  if (digits == 0 || digits > 15) return std::nullopt;
  std::string unit = text.substr(digits);
  if (unit.size() == 3 && strcasecmp(unit.c_str() + 1, "ib") == 0) unit.resize(1);
  constexpr std::string_view kUnits = "KMGT";
  const std::size_t found =
      unit.empty() ? 0 : kUnits.find(static_cast<char>(std::toupper(unit[0])));
  if (unit.size() > 1 || found == std::string_view::npos) return std::nullopt;
  const std::size_t power = unit.empty() ? 0 : found + 1;
  std::size_t value = std::stoull(text.substr(0, digits));
  for (std::size_t p = 0; p < power; ++p) {
    if (value > std::numeric_limits<std::size_t>::max() / 1024) return std::nullopt;
    value *= 1024;
  }
  if (value == 0) return std::nullopt;
  return value;
}

// A whole positive decimal number.
std::optional<std::size_t> Count(const std::string& text) {
  if (text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return Size(text);  // digits alone: no unit
}

// "404,410": statuses 100 to 599, separated by commas.
std::optional<std::vector<int>> Statuses(const std::string& text) {
  std::vector<int> statuses;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    if (item.size() != 3 || item.find_first_not_of("0123456789") != std::string::npos ||
        item < "100" || item > "599") {
      return std::nullopt;
    }
    statuses.push_back(std::stoi(item));
    start = comma + 1;
  }
  return statuses;
}

// A decimal number (digits, a fraction, an exponent; no sign, no hex, no
// infinity) from low to high.
std::optional<double> NumberIn(const std::string& text, double low, double high) {
  if (text.empty() || (!std::isdigit(static_cast<unsigned char>(text[0])) && text[0] != '.')) {
    return std::nullopt;
  }
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (stop != end || error != std::errc() || !std::isfinite(value) || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::string CommandName(Command command) { return std::string(RowOf(command).name); }

// The options that take a positive count, and those that only switch
// something on: the field of Options each sets.
constexpr std::pair<OptionId, std::size_t Options::*> kCounts[] = {
    {OptionId::kMaxUrls, &Options::max_urls},
    {OptionId::kMaxBytes, &Options::max_bytes},
    {OptionId::kMinHits, &Options::min_hits},
    {OptionId::kMaxPages, &Options::max_pages}};
constexpr std::pair<OptionId, bool Options::*> kFlags[] = {
    {OptionId::kCrawlers, &Options::crawlers}, {OptionId::kStripQuery, &Options::strip_query},
    {OptionId::kExternal, &Options::external}, {OptionId::kSitemaps, &Options::sitemaps},
    {OptionId::kSplit, &Options::split},       {OptionId::kGzip, &Options::gzip},
    {OptionId::kStandard, &Options::standard}, {OptionId::kSitemap, &Options::sitemap}};

template <typename Member, std::size_t N>
Member MemberOf(const std::pair<OptionId, Member> (&table)[N], OptionId option) {
  return std::ranges::find(table, option, &std::pair<OptionId, Member>::first)->second;
}

// Takes the option's value into options; a usage error's message, or empty.
std::string Take(OptionId option, const std::string& name, const std::string& value,
                 Options& options) {
  switch (option) {
    case OptionId::kEncoding:
      if (const std::optional<ListEncoding> encoding = EncodingNamed(value)) {
        options.encoding = *encoding;
        return {};
      }
      return "unknown input encoding '" + value + "'";
    case OptionId::kOutput:
      if (value.empty()) return name + " was given an empty file name";
      if (value == "-" && options.command != Command::kGenerate) {
        return CommandName(options.command) +
               " writes its lines to standard output; -o takes a file name";
      }
      options.output = value;
      if (value == "-") options.output.reset();  // standard output, as when -o is absent
      return {};
    case OptionId::kMaxUrls:
    case OptionId::kMaxBytes:
    case OptionId::kMinHits:
    case OptionId::kMaxPages:
      if (const std::optional<std::size_t> count = Count(value)) {
        options.*MemberOf(kCounts, option) = *count;
        return {};
      }
      return name + " needs a positive number";
    case OptionId::kIndexUrl:
    case OptionId::kSite:
      if (const std::optional<std::string> problem = BaseUrlProblem(value)) {
        return name + " '" + value + "': " + *problem + "; give the " +
               (option == OptionId::kSite ? "site's address" : "address of the parts' folder") +
               ": http(s), host, port and path";
      }
      if (option == OptionId::kSite) options.site = AsciiBaseUrl(value);
      if (option == OptionId::kIndexUrl) options.index_url = AsciiBaseUrl(value);
      return {};
    case OptionId::kMaxInput:
      if (const std::optional<std::size_t> size = Size(value)) {
        options.max_input = *size;
        options.max_input_given = true;
        return {};
      }
      return "--max-input takes a size such as 500M or 4G, not '" + value + "'";
    case OptionId::kConcurrency:
      if (const std::optional<double> n = NumberIn(value, 1, 1000); n && *n == std::floor(*n)) {
        options.concurrency = static_cast<int>(*n);
        return {};
      }
      return "--concurrency takes a whole number from 1 to 1000, not '" + value + "'";
    case OptionId::kTimeout:
      if (const std::optional<double> seconds = NumberIn(value, 0.001, 86400)) {
        options.timeout_seconds = *seconds;
        return {};
      }
      return "--timeout takes a number of seconds above 0, not '" + value + "'";
    case OptionId::kCacert:
      options.cacert = value;
      return {};
    case OptionId::kRate:
      // A rate past what the clock can space is no bound at all, and is taken.
      if (const std::optional<double> rate = NumberIn(value, 0, std::numeric_limits<double>::max());
          rate && *rate > 0) {
        options.rate = *rate;
        return {};
      }
      return "--rate takes a number of requests a second above 0, not '" + value + "'";
    case OptionId::kFormat:
      if (value != "tsv" && value != "json")
        return "--format takes tsv or json, not '" + value + "'";
      options.format = value == "json" ? LineFormat::kJson : LineFormat::kTsv;
      options.report = options.command == Command::kScanLog;
      return {};
    case OptionId::kStatus:
      if (std::optional<std::vector<int>> statuses = Statuses(value)) {
        options.statuses = *std::move(statuses);
        return {};
      }
      return "--status takes HTTP statuses (100-599) separated by commas, not '" + value + "'";
    case OptionId::kLogFormat:
      if (!AccessLogFormat::Parse(value)) {
        return "--log-format needs $request (or $request_method and $request_uri) and "
               "$status, each field followed by text that ends it, not '" +
               value + "'";
      }
      options.log_format = value;
      return {};
    case OptionId::kCrawler:
      for (const Crawler& crawler : Crawlers()) {
        if (crawler.name == value) {
          options.crawlers = true;
          options.crawler = value;
          return {};
        }
      }
      return "--crawler takes one of " + std::string(FindOption("--crawler")->choices) + ", not '" +
             value + "'";
    case OptionId::kExclude:
      if (value.empty()) return "--exclude needs a pattern";
      options.excluded.push_back(value);
      return {};
    case OptionId::kSince:
    case OptionId::kUntil: {
      bool day_only = false;
      std::optional<LogTime> time = ParseDateArgument(value, day_only);
      if (!time) {
        return name + " takes a date as 2026-12-05 or 2026-12-05T08:00, not '" + value + "'";
      }
      if (option == OptionId::kUntil) time->local += day_only ? 86400 : 1;
      (option == OptionId::kSince ? options.since : options.until) = time;
      return {};
    }
    case OptionId::kDepth:
      if (const std::optional<std::size_t> depth =
              value == "0" ? std::optional<std::size_t>(0) : Count(value)) {
        options.depth = *depth;
        return {};
      }
      return "--depth needs a number, 0 or more";
    case OptionId::kCrawlers:
    case OptionId::kStripQuery:
    case OptionId::kExternal:
    case OptionId::kSitemaps:
    case OptionId::kSplit:
    case OptionId::kGzip:
    case OptionId::kStandard:
    case OptionId::kSitemap:
      options.*MemberOf(kFlags, option) = true;
      return {};
    case OptionId::kHelp:
    case OptionId::kVersion:
      break;
  }
  return {};
}

// Why the command does not take the option, or empty.
std::string NotTaken(const OptionSpec& option, Command command) {
  if ((option.commands & RowOf(command).bit) != 0) return {};
  std::string owners;
  for (const CommandRow& own : CommandTable()) {
    if ((option.commands & own.bit) == 0) continue;
    owners +=
        std::string(owners.empty() ? "" : " and ") + "'lirrevo-cli " + std::string(own.name) + "'";
  }
  if ((option.commands & CommandTable().front().bit) == 0) {
    return std::string(option.name) + " is an option of " + owners;
  }
  return std::string(option.name) + " is not an option of 'lirrevo-cli " + CommandName(command) +
         "'";
}

// Takes the arguments into options, which then hold the command named, if
// any; gives an end of the run right here (help, version, a usage error), or
// nothing where the options are to run.
std::optional<ParsedArguments> ParseInto(const std::vector<std::string>& args, Options& options) {
  bool have_input = false;
  const CommandRow* named = args.empty() ? nullptr : FindCommand(args[0]);
  if (named != nullptr) options.command = named->command;
  std::size_t i = named != nullptr ? 1 : 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const OptionSpec* option = FindOption(name);
    if (option == nullptr) {
      if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option '" + arg + "'");
      if (options.command == Command::kScanLog || options.command == Command::kCrawl) {
        options.inputs.push_back(arg);
      } else if (options.command == Command::kUpdate) {
        if (options.output) {
          options.inputs.push_back(arg);
        } else if (arg == "-") {
          return UsageError("update's FILE is a file name, not '-'");
        } else {
          options.output = arg;
        }
      } else if (have_input) {
        return UsageError("more than one input given");
      } else {
        options.input = arg;
        have_input = true;
      }
      continue;
    }
    if (option->id == OptionId::kHelp) return End(named ? CommandHelp(*named) : MainHelp());
    if (option->id == OptionId::kVersion) return End("lirrevo-cli " LIRREVO_VERSION "\n");
    if (const std::string why = NotTaken(*option, options.command); !why.empty()) {
      return UsageError(why);
    }
    std::string value;
    if (option->kind == ValueKind::kNone) {
      if (equals != std::string::npos) return UsageError(name + " takes no value");
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return UsageError(
          name + (option->kind == ValueKind::kFile ? " needs a file name" : " needs a value"));
    }
    const std::string error = Take(option->id, name, value, options);
    if (!error.empty()) return UsageError(error);
    options.limits_given |= option->id == OptionId::kMaxUrls || option->id == OptionId::kMaxBytes;
  }
  if (options.command == Command::kScanLog && options.site.empty()) {
    return UsageError("scan-log needs --site URL, the site the logged paths belong to");
  }
  if (options.command == Command::kScanLog && options.inputs.empty()) options.inputs.push_back("-");
  if (options.report && options.output) {
    return UsageError(
        "scan-log --format prints a report; -o writes the document: one or the other");
  }
  if (options.command == Command::kCrawl && options.inputs.empty()) {
    return UsageError("crawl needs the URL of a page to start from");
  }
  if (options.command == Command::kUpdate && !options.output) {
    return UsageError("update needs FILE, the dead-link file to keep true");
  }
  if (options.split && !options.output) return UsageError("--split needs -o OUTPUT");
  if (options.command == Command::kUpdate && options.split && !options.index_url) {
    return UsageError("update --split needs --index-url: FILE is the parts' index");
  }
  if (options.command == Command::kUpdate && options.gzip && !options.output->ends_with(".gz")) {
    return UsageError("--gzip: update's FILE is named as written, so its name ends in .gz");
  }
  // check prints its verdicts; a document, and the options that shape it, only go to -o.
  if ((options.command == Command::kCheck || options.command == Command::kCrawl) &&
      !options.output && (options.gzip || options.standard)) {
    return UsageError(std::string(options.gzip ? "--gzip" : "--standard") + " needs -o OUTPUT in " +
                      "'lirrevo-cli " + CommandName(options.command) + "'");
  }
  // An index FILE that update keeps takes its parts' limits without --split.
  if (!options.split &&
      ((options.limits_given && options.command != Command::kUpdate) || options.index_url)) {
    return UsageError(options.index_url ? "--index-url needs --split"
                                        : "--max-urls and --max-bytes need --split");
  }
  return std::nullopt;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  Options options;
  std::optional<ParsedArguments> end = ParseInto(args, options);
  if (!end) return ParsedArguments{.options = std::move(options)};
  if (end->exit_code == 2) {
    const CommandRow& command = RowOf(options.command);
    end->error += Synopsis(command, "usage: ") + "Try 'lirrevo-cli " + std::string(command.name) +
                  " --help'.\n";
  }
  return *std::move(end);
}

}  // namespace lirrevo::cli
