#include "cli/arguments.h"

#include <strings.h>

#include <string>

namespace lirrevo::cli {
namespace {

constexpr const char* kUsage =
    "usage: lirrevo-cli [--input-encoding utf-8|gbk|gb18030|utf-16] [-o OUTPUT]\n"
    "                   [--split [--max-urls N] [--max-bytes N] [--index-url BASE]]\n"
    "                   [--gzip] [--standard] [INPUT]\n";
constexpr const char* kHelp =
    "Writes the dead-link submission document (sitemap urlset, UTF-8) for the\n"
    "links in INPUT, one per line. INPUT is a file, or standard input when it\n"
    "is absent or '-'. Every entry carries today's date, or the UTC date of\n"
    "SOURCE_DATE_EPOCH (seconds) where that is set.\n"
    "Every Unicode character is written as its UTF-8; CR LF, LF and CR each end\n"
    "a line. Refused, naming each bad line, with nothing written: bytes invalid\n"
    "in the encoding, and characters XML 1.0 cannot hold (control characters\n"
    "other than tab, U+FFFE, U+FFFF).\n\n"
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

std::optional<InputEncoding> EncodingNamed(const std::string& name) {
  if (strcasecmp(name.c_str(), "utf-8") == 0 || strcasecmp(name.c_str(), "utf8") == 0) {
    return InputEncoding::kUtf8;
  }
  if (strcasecmp(name.c_str(), "gbk") == 0 || strcasecmp(name.c_str(), "gb2312") == 0) {
    return InputEncoding::kGbk;
  }
  if (strcasecmp(name.c_str(), "gb18030") == 0) return InputEncoding::kGb18030;
  if (strcasecmp(name.c_str(), "utf-16") == 0 || strcasecmp(name.c_str(), "utf16") == 0) {
    return InputEncoding::kUtf16;
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

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  Options options;
  bool have_input = false;
  bool limits_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> const std::string* {
      return i + 1 < args.size() ? &args[++i] : nullptr;
    };
    if (arg == "--help" || arg == "-h") return End(std::string(kUsage) + '\n' + kHelp);
    if (arg == "--version") return End("lirrevo-cli " LIRREVO_VERSION "\n");
    if (arg == "--input-encoding" || arg.starts_with("--input-encoding=")) {
      const std::string inline_value = arg.substr(std::min(arg.size(), std::size_t{17}));
      const std::string* name = arg == "--input-encoding" ? value() : &inline_value;
      if (name == nullptr) return UsageError("--input-encoding needs a value");
      const std::optional<InputEncoding> encoding = EncodingNamed(*name);
      if (!encoding) return UsageError("unknown input encoding '" + *name + "'");
      options.encoding = *encoding;
    } else if (arg == "-o" || arg == "--output") {
      const std::string* path = value();
      if (path == nullptr) return UsageError(arg + " needs a file name");
      options.output = *path;
      if (*path == "-") options.output.reset();  // standard output, as when -o is absent
    } else if (arg == "--split") {
      options.split = true;
    } else if (arg == "--gzip") {
      options.gzip = true;
    } else if (arg == "--standard") {
      options.standard = true;
    } else if (arg == "--max-urls" || arg == "--max-bytes") {
      const std::string* text = value();
      const std::optional<std::size_t> count = text ? Count(*text) : std::nullopt;
      if (!count) return UsageError(arg + " needs a positive number");
      (arg == "--max-urls" ? options.max_urls : options.max_bytes) = *count;
      limits_given = true;
    } else if (arg == "--index-url") {
      const std::string* base = value();
      if (base == nullptr || base->empty()) return UsageError("--index-url needs a URL");
      options.index_url = *base;
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
  if (!options.split && (limits_given || options.index_url)) {
    return UsageError(options.index_url ? "--index-url needs --split"
                                        : "--max-urls and --max-bytes need --split");
  }
  ParsedArguments parsed;
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace lirrevo::cli
