#include "cli/arguments.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/version.h"

namespace lirrevo::cli {
namespace {

constexpr const char* kUsage =
    "usage: lirrevo-cli [--input-encoding utf-8|gbk|gb18030|utf-16] [-o OUTPUT]\n"
    "                   [--split [--max-urls N] [--max-bytes N] [--index-url BASE]]\n"
    "                   [--gzip] [--standard] [INPUT]\n"
    "       lirrevo-cli check [--concurrency N] [--timeout SECONDS] [--cacert FILE]\n"
    "                         [--input-encoding E] [-o OUTPUT [the options above]]\n"
    "                         [INPUT]\n";
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
    "output: CLASS<TAB>CODE<TAB>LINK, CLASS being dead (404, 410), alive (2xx),\n"
    "redirect (3xx), error (any other status, or 0: no answer) or invalid (not\n"
    "an absolute http or https URL; 0). Exit status 0 when every line is dead,\n"
    "1 when any is not. With -o it writes the document of the dead links only,\n"
    "as the options below say for any document.\n"
    "An input file named 'check' is given as './check'.\n\n"
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
    "                      BASE, a '/' where BASE lacks one, and the part's name\n"
    "  --gzip              compress every file written (and standard output)\n"
    "                      with gzip; names get .gz\n"
    "  --standard          the sitemaps.org form: its namespace, dates as\n"
    "                      YYYY-MM-DD, empty lines skipped\n"
    "  --concurrency N     check: at most N requests in flight (default 16,\n"
    "                      1-1000); never more than 4 to one host\n"
    "  --timeout SECONDS   check: the most one request may take (default 10)\n"
    "  --cacert FILE       check: also trust the CA certificates in FILE (PEM)\n"
    "  -h, --help          show this help\n"
    "  --version           show the version\n";

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
  kCacert
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
      if (value.empty()) return name + " was given an empty file name";
      if (value == "-" && options.command == Command::kCheck) {
        return "check writes its lines to standard output; -o takes a file name";
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
      if (value.empty()) return "--index-url needs a URL";
      options.index_url = value;
      return {};
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
    case Valued::kNone:
      break;
  }
  return "unknown option '" + name + "'";
}

bool OnlyForCheck(Valued option) {
  return option == Valued::kConcurrency || option == Valued::kTimeout || option == Valued::kCacert;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  Options options;
  bool have_input = false;
  bool limits_given = false;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "check") {
    options.command = Command::kCheck;
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
      if (OnlyForCheck(option) && options.command != Command::kCheck) {
        return UsageError(name + " is an option of 'lirrevo-cli check'");
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
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "'");
    } else if (have_input) {
      return UsageError("more than one input given");
    } else {
      options.input = arg;
      have_input = true;
    }
  }
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
