#include "cli/arguments.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/access_log.h"
#include "core/version.h"

namespace lirrevo::cli {
namespace {

constexpr const char* kUsage =
    "usage: lirrevo-cli [--input-encoding utf-8|gbk|gb18030|utf-16] [-o OUTPUT]\n"
    "                   [--split [--max-urls N] [--max-bytes N] [--index-url BASE]]\n"
    "                   [--gzip] [--standard] [--max-input SIZE] [INPUT]\n"
    "       lirrevo-cli check [--concurrency N] [--timeout SECONDS] [--cacert FILE]\n"
    "                         [--format tsv|json] [--rate N] [--input-encoding E]\n"
    "                         [-o OUTPUT [the options above]] [--sitemap] [INPUT]\n"
    "       lirrevo-cli scan-log --site URL [--status 404,410] [--log-format FORMAT]\n"
    "                            [-o OUTPUT [the options above]] [LOG...]\n";
constexpr const char* kHelp =
    "Writes the dead-link submission document (sitemap urlset, UTF-8) for the\n"
    "links in INPUT, one per line. INPUT is a file, or standard input when it\n"
    "is absent or '-'. Every entry carries today's date, or the UTC date of\n"
    "SOURCE_DATE_EPOCH (seconds) where that is set.\n"
    "Every Unicode character is written as its UTF-8; CR LF, LF and CR each end\n"
    "a line. Refused, naming each bad line, with nothing written: bytes invalid\n"
    "in the encoding, and characters XML 1.0 cannot hold (control characters\n"
    "other than tab, U+FFFE, U+FFFF).\n\n"
    "'check' first asks every link (HTTP HEAD, GET where HEAD is refused;\n"
    "redirects are not followed) and writes one line per input line to standard\n"
    "output: CLASS<TAB>CODE<TAB>LINK<TAB>DETAIL, CLASS being dead (404, 410),\n"
    "alive (2xx), soft404 (200 with a page like the host's answer for a made-up\n"
    "path: same title, or length within 2%), redirect (3xx), error (any other\n"
    "status, or 0: no answer) or invalid (not an absolute http or https URL;\n"
    "0). DETAIL is a redirect's Location, why an error or invalid line got no\n"
    "status, what a soft404 has of a missing page, or empty. Exit status 0\n"
    "when every line is dead, 1 when any is not. With -o it writes the\n"
    "document of the dead links only, as the options below say for any\n"
    "document.\n"
    "'scan-log' reads access logs (nginx's and Apache's common and combined\n"
    "formats, or --log-format) and prints, once each and in the order first\n"
    "seen, URL followed by the path of every GET or HEAD answered 404 or 410;\n"
    "with -o it writes their document instead. A LOG ending in .gz is read\n"
    "through gzip; no LOG, or '-', is standard input. Lines that do not parse\n"
    "are counted on standard error; exit status 1 when none parses.\n"
    "An input file named 'check' or 'scan-log' is given as './check'.\n\n"
    "  --input-encoding E  encoding of INPUT: utf-8 (default; a UTF-16 file with\n"
    "                      a byte-order mark is also read), gbk (gb2312 is read\n"
    "                      as gbk), gb18030 or utf-16\n"
    "  -o, --output OUTPUT write the document to OUTPUT instead of standard\n"
    "                      output; '-' is standard output\n"
    "  --split             write parts STEM-1.xml, STEM-2.xml, ... beside OUTPUT\n"
    "                      (STEM: OUTPUT without .xml and .gz), each a whole\n"
    "                      document, cut between entries; needs -o, and OUTPUT\n"
    "                      is written only with --index-url. Without --split\n"
    "                      a list past 50,000 links or 10,485,760 bytes is\n"
    "                      written whole, with a warning\n"
    "  --max-urls N        links per part (default 50000)\n"
    "  --max-bytes N       bytes per part, uncompressed (default 10485760)\n"
    "  --index-url BASE    OUTPUT becomes the parts' sitemapindex; each loc is\n"
    "                      BASE (an absolute http or https URL), a '/' where\n"
    "                      BASE lacks one, and the part's name, percent-encoded\n"
    "  --max-input SIZE    read at most SIZE bytes of INPUT (K, M, G: powers of\n"
    "                      1024; default 2G); a larger input is refused\n"
    "  --gzip              compress every file written (and standard output)\n"
    "                      with gzip; names get .gz\n"
    "  --standard          the sitemaps.org form: its namespace, dates as\n"
    "                      YYYY-MM-DD, empty lines skipped\n"
    "  --concurrency N     check: at most N requests in flight (default 16,\n"
    "                      1-1000); never more than 4 to one host\n"
    "  --timeout SECONDS   check: the most one request may take (default 10)\n"
    "  --cacert FILE       check: also trust the CA certificates in FILE (PEM)\n"
    "  --format FORMAT     check: tsv (default) or json, one object a line with\n"
    "                      the fields class, code, link and detail\n"
    "  --rate N            check: at most N requests a second to one host\n"
    "                      (fractions allowed: 0.5 is one every 2 s); default\n"
    "                      no bound but the 4 in flight\n"
    "  --sitemap           check: INPUT is a sitemap (urlset or sitemapindex,\n"
    "                      plain or gzip, a file or an http(s) URL): its locs\n"
    "                      are the links\n"
    "  --site URL          scan-log: the site's address, put before each path\n"
    "  --status LIST       scan-log: the statuses that mean dead (default 404,410)\n"
    "  --log-format FORMAT\n"
    "                      scan-log: the log's layout as an nginx log_format\n"
    "                      ($request or $request_method and $request_uri, and\n"
    "                      $status are read)\n"
    "  -h, --help          show this help\n"
    "  --version           show the version\n";

}  // namespace

std::string SizeText(std::size_t bytes) {
  constexpr std::string_view kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes % 1024 == 0 && bytes != 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + std::string(kUnits[unit]);
}

namespace {

ParsedArguments End(std::string out) {
  ParsedArguments parsed;
  parsed.out = std::move(out);
  return parsed;
}

ParsedArguments UsageError(const std::string& message) {
  ParsedArguments parsed;
  parsed.exit_code = 2;
  parsed.error = "lirrevo-cli: " + message + "\n" + kUsage;
  return parsed;
}

std::optional<ListEncoding> EncodingNamed(const std::string& name) {
  if (strcasecmp(name.c_str(), "utf-8") == 0 || strcasecmp(name.c_str(), "utf8") == 0) {
    return ListEncoding::kUtf8;
  }
  if (strcasecmp(name.c_str(), "gbk") == 0 || strcasecmp(name.c_str(), "gb2312") == 0) {
    return ListEncoding::kGbk;
  }
  if (strcasecmp(name.c_str(), "gb18030") == 0) return ListEncoding::kGb18030;
  if (strcasecmp(name.c_str(), "utf-16") == 0 || strcasecmp(name.c_str(), "utf16") == 0) {
    return ListEncoding::kUtf16Le;
  }
  return std::nullopt;
}

// A whole positive decimal number.
std::optional<std::size_t> Count(const std::string& text) {
  if (text.empty() || text.size() > 15 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const std::size_t value = std::stoull(text);
  if (value == 0) return std::nullopt;
  return value;
}

// A size in bytes: a whole number, perhaps followed by K, M, G or T (also
// KiB ...), powers of 1024.
std::optional<std::size_t> Size(const std::string& text) {
  const std::size_t digits = text.find_first_not_of("0123456789");
  if (digits == 0 || text.empty() || digits > 15) return std::nullopt;
  std::string unit = digits == std::string::npos ? "" : text.substr(digits);
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

// An absolute http or https URL that a loc can hold as it is: no space or
// control character, and UTF-8.
bool IsSiteUrl(const std::string& text) {
  const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
  });
  if (!plain || !DecodeUtf8List(text).Ok()) return false;
  CURLU* url = curl_url();
  char* scheme = nullptr;
  char* host = nullptr;
  const bool ok = url != nullptr &&
                  curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK &&
                  curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                  curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0' &&
                  (strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0);
  curl_free(scheme);
  curl_free(host);
  curl_url_cleanup(url);
  return ok;
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

std::optional<double> NumberIn(const std::string& text, double low, double high) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(value) || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::string CommandName(Command command) {
  return command == Command::kCheck ? "check" : command == Command::kScanLog ? "scan-log" : "";
}

// Options that take a value, as "--name value" or "--name=value".
enum class Valued {
  kNone,
  kEncoding,
  kOutput,
  kMaxUrls,
  kMaxBytes,
  kIndexUrl,
  kConcurrency,
  kTimeout,
  kCacert,
  kFormat,
  kRate,
  kMaxInput,
  kSite,
  kStatus,
  kLogFormat
};

Valued ValuedOption(const std::string& name) {
  if (name == "--input-encoding") return Valued::kEncoding;
  if (name == "-o" || name == "--output") return Valued::kOutput;
  if (name == "--max-urls") return Valued::kMaxUrls;
  if (name == "--max-bytes") return Valued::kMaxBytes;
  if (name == "--index-url") return Valued::kIndexUrl;
  if (name == "--concurrency") return Valued::kConcurrency;
  if (name == "--timeout") return Valued::kTimeout;
  if (name == "--cacert") return Valued::kCacert;
  if (name == "--format") return Valued::kFormat;
  if (name == "--rate") return Valued::kRate;
  if (name == "--max-input") return Valued::kMaxInput;
  if (name == "--site") return Valued::kSite;
  if (name == "--status") return Valued::kStatus;
  if (name == "--log-format") return Valued::kLogFormat;
  return Valued::kNone;
}

// Takes the option's value into options; a usage error's message, or empty.
std::string Take(Valued option, const std::string& name, const std::string& value,
                 Options& options) {
  switch (option) {
    case Valued::kEncoding:
      if (const std::optional<ListEncoding> encoding = EncodingNamed(value)) {
        options.encoding = *encoding;
        return {};
      }
      return "unknown input encoding '" + value + "'";
    case Valued::kOutput:
      if (value == "-" && options.command != Command::kGenerate) {
        return CommandName(options.command) +
               " writes its lines to standard output; -o takes a file name";
      }
      options.output = value;
      if (value == "-") options.output.reset();  // standard output, as when -o is absent
      return {};
    case Valued::kMaxUrls:
    case Valued::kMaxBytes:
      if (const std::optional<std::size_t> count = Count(value)) {
        (option == Valued::kMaxUrls ? options.max_urls : options.max_bytes) = *count;
        return {};
      }
      return name + " needs a positive number";
    case Valued::kIndexUrl:
      if (!IsSiteUrl(value))
        return "--index-url needs an absolute http or https URL, not '" + value + "'";
      options.index_url = value;
      return {};
    case Valued::kMaxInput:
      if (const std::optional<std::size_t> size = Size(value)) {
        options.max_input = *size;
        options.max_input_given = true;
        return {};
      }
      return "--max-input takes a size such as 500M or 4G, not '" + value + "'";
    case Valued::kConcurrency:
      if (const std::optional<double> n = NumberIn(value, 1, 1000); n && *n == std::floor(*n)) {
        options.concurrency = static_cast<int>(*n);
        return {};
      }
      return "--concurrency takes a whole number from 1 to 1000, not '" + value + "'";
    case Valued::kTimeout:
      if (const std::optional<double> seconds = NumberIn(value, 0.001, 86400)) {
        options.timeout_seconds = *seconds;
        return {};
      }
      return "--timeout takes a number of seconds above 0, not '" + value + "'";
    case Valued::kCacert:
      options.cacert = value;
      return {};
    case Valued::kRate:
      if (const std::optional<double> rate = NumberIn(value, 0, 1e6); rate && *rate > 0) {
        options.rate = *rate;
        return {};
      }
      return "--rate takes a number of requests a second above 0, not '" + value + "'";
    case Valued::kFormat:
      if (value != "tsv" && value != "json")
        return "--format takes tsv or json, not '" + value + "'";
      options.format = value == "json" ? LineFormat::kJson : LineFormat::kTsv;
      return {};
    case Valued::kSite:
      if (!IsSiteUrl(value))
        return "--site needs an absolute http or https URL, not '" + value + "'";
      options.site = value;
      return {};
    case Valued::kStatus:
      if (std::optional<std::vector<int>> statuses = Statuses(value)) {
        options.statuses = *std::move(statuses);
        return {};
      }
      return "--status takes HTTP statuses (100-599) separated by commas, not '" + value + "'";
    case Valued::kLogFormat:
      if (!AccessLogFormat::Parse(value)) {
        return "--log-format needs $request (or $request_method and $request_uri) and "
               "$status, each field followed by text that ends it, not '" +
               value + "'";
      }
      options.log_format = value;
      return {};
    case Valued::kNone:
      break;
  }
  return "unknown option '" + name + "'";
}

// The command an option belongs to, where it is not every command's.
std::optional<Command> CommandOf(Valued option) {
  switch (option) {
    case Valued::kConcurrency:
    case Valued::kTimeout:
    case Valued::kCacert:
    case Valued::kFormat:
    case Valued::kRate:
      return Command::kCheck;
    case Valued::kSite:
    case Valued::kStatus:
    case Valued::kLogFormat:
      return Command::kScanLog;
    default:
      return std::nullopt;
  }
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  Options options;
  bool have_input = false;
  bool limits_given = false;
  std::size_t i = 0;
  if (!args.empty() && (args[0] == "check" || args[0] == "scan-log")) {
    options.command = args[0] == "check" ? Command::kCheck : Command::kScanLog;
    i = 1;
  }
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return End(std::string(kUsage) + '\n' + kHelp);
    if (arg == "--version") return End("lirrevo-cli " LIRREVO_VERSION "\n");
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const Valued option = ValuedOption(name);
    if (option != Valued::kNone && (name != "-o" || equals == std::string::npos)) {
      if (const std::optional<Command> own = CommandOf(option); own && *own != options.command) {
        return UsageError(name + " is an option of 'lirrevo-cli " + CommandName(*own) + "'");
      }
      if ((option == Valued::kEncoding || option == Valued::kMaxInput) &&
          options.command == Command::kScanLog) {
        return UsageError(name + " is not an option of 'lirrevo-cli scan-log'");
      }
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return UsageError(name + (option == Valued::kOutput || option == Valued::kCacert
                                      ? " needs a file name"
                                      : " needs a value"));
      }
      const std::string error = Take(option, name, value, options);
      if (!error.empty()) return UsageError(error);
      limits_given |= option == Valued::kMaxUrls || option == Valued::kMaxBytes;
    } else if (arg == "--split") {
      options.split = true;
    } else if (arg == "--gzip") {
      options.gzip = true;
    } else if (arg == "--standard") {
      options.standard = true;
    } else if (arg == "--sitemap" && options.command == Command::kCheck) {
      options.sitemap = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "'");
    } else if (options.command == Command::kScanLog) {
      options.logs.push_back(arg);
    } else if (have_input) {
      return UsageError("more than one input given");
    } else {
      options.input = arg;
      have_input = true;
    }
  }
  if (options.command == Command::kScanLog && options.site.empty()) {
    return UsageError("scan-log needs --site URL, the site the logged paths belong to");
  }
  if (options.command == Command::kScanLog && options.logs.empty()) options.logs.push_back("-");
  if (options.split && !options.output) return UsageError("--split needs -o OUTPUT");
  // check prints its verdicts; a document, and the options that shape it, only go to -o.
  if (options.command == Command::kCheck && !options.output && (options.gzip || options.standard)) {
    return UsageError(std::string(options.gzip ? "--gzip" : "--standard") +
                      " needs -o OUTPUT in 'lirrevo-cli check'");
  }
  if (!options.split && (limits_given || options.index_url)) {
    return UsageError(options.index_url ? "--index-url needs --split"
                                        : "--max-urls and --max-bytes need --split");
  }
  ParsedArguments parsed;
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace lirrevo::cli
