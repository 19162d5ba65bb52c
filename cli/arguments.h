// lirrevo-cli's command line: options, help and usage errors.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "core/document/list_input.h"
#include "core/logs/access_log.h"

namespace lirrevo::cli {

// How check prints its lines: CLASS<TAB>CODE<TAB>LINK<TAB>DETAIL, or one JSON
// object a line with the same fields.
enum class LineFormat { kTsv, kJson };

struct Options {
  Command command = Command::kGenerate;
  ListEncoding encoding = ListEncoding::kUtf8;  // a byte-order mark may tell otherwise
  std::string input = "-";                      // a file name, or "-" for standard input
  // What is read of the input at most, unless --max-input says otherwise:
  // the list is held in memory, and endless input must end.
  std::size_t max_input = std::size_t{2} << 30;
  bool max_input_given = false;
  std::optional<std::string> output;     // absent: standard output; update's FILE
  bool split = false;                    // parts STEM-1.xml, STEM-2.xml, ... beside output
  std::size_t max_urls = 50000;          // per part
  std::size_t max_bytes = 10485760;      // per part, uncompressed
  std::optional<std::string> index_url;  // with split: output is the parts' sitemapindex
  bool gzip = false;
  bool standard = false;  // the sitemaps.org form
  // check only: requests in flight, seconds a request may take, an extra CA.
  int concurrency = 32;
  double timeout_seconds = 10;
  std::optional<std::string> cacert;
  LineFormat format = LineFormat::kTsv;
  double rate = 0;       // requests a second to one host at most; 0: no bound
  bool sitemap = false;  // INPUT is a sitemap (file or URL), its locs the links
  // scan-log only: the site the logged paths belong to, the statuses that
  // mean dead, and the log's layout (nginx log_format).
  std::string site;
  std::vector<int> statuses = {404, 410};
  std::optional<std::string> log_format;
  // scan-log's filters: the crawlers' requests only (any of the table, or
  // the one named), the paths left out, a query's variants as one link, and
  // the fewest requests a link must have.
  bool crawlers = false;
  std::string crawler;
  std::vector<std::string> excluded;
  bool strip_query = false;
  std::size_t min_hits = 1;
  std::optional<LogTime> since;  // the first moment counted
  std::optional<LogTime> until;  // the first moment no longer counted
  bool report = false;           // --format given: a line of figures a link
  // update only: the lists of new links ("-" for standard input), and
  // whether --max-urls or --max-bytes was given; crawl: its start URLs;
  // scan-log: its logs ("-" for standard input).
  std::vector<std::string> inputs;
  bool limits_given = false;
  // crawl only: the pages read at most, how far below a start, whether
  // links to other sites are asked, and whether robots.txt's sitemaps are
  // starts too.
  std::size_t max_pages = 100000;
  std::optional<std::size_t> depth;
  bool external = false;
  bool sitemaps = false;
};

// What the command line asks for: a run with `options`, or an end right here
// with `exit_code` after `out` (help, version) or `error` (a usage error,
// followed by the usage line) is printed.
struct ParsedArguments {
  std::optional<Options> options = std::nullopt;
  int exit_code = 0;
  std::string out = {};
  std::string error = {};
};

// Parses the arguments after the program name. Usage errors end with 2.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

}  // namespace lirrevo::cli
