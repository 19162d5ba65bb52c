#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/document_output.h"
#include "cli/messages.h"
#include "core/document/link_list.h"
#include "core/logs/access_log.h"
#include "core/logs/log_lines.h"

namespace lirrevo::cli {
namespace {

// The bad lines named by number; the rest are counted.
constexpr std::size_t kNamedLines = 5;

// The lines of one log that give no request for a page of the site: how
// many, and the first by number.
struct Skipped {
  std::size_t lines = 0;
  std::size_t not_in_layout = 0;
  std::size_t count = 0;  // those, and the lines whose target is no path of the site
  std::vector<std::size_t> named;

  void Note(std::size_t line) {
    if (++count <= kNamedLines) named.push_back(line);
  }

  std::string Text() const {
    std::string text = std::to_string(count) + (count == 1 ? " line" : " lines") +
                       " skipped (not in the log's layout, or not a request for a page of "
                       "the site): line";
    if (named.size() > 1) text += 's';
    for (std::size_t i = 0; i < named.size(); ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(named[i]);
    }
    if (count > named.size()) text += ", ...";
    return text;
  }
};

// Feeds every line of the log to dead; false (after the message) when the
// log cannot be read whole.
bool ScanLog(const std::string& log, const AccessLogFormat& format, DeadLinkLog& dead,
             Skipped& skipped) {
  const std::optional<std::string> failed =
      ForEachLogLine(log, [&](std::string_view line, bool whole) {
        using Line = DeadLinkLog::Line;
        if (line.ends_with('\r')) line.remove_suffix(1);
        ++skipped.lines;
        const Line read = whole ? dead.Take(format, line) : Line::kNotInLayout;
        if (read == Line::kNotInLayout) ++skipped.not_in_layout;
        if (read != Line::kOnSite) skipped.Note(skipped.lines);
      });
  if (failed) Fail(CannotRead(log, *failed));
  return !failed;
}

// Refuses, before a log is read, an output that is one of the logs.
int CheckLogOutputs(const Options& options, const DateTime& date) {
  for (const std::string& log : options.inputs) {
    Options one = options;
    one.input = log;
    if (const int refused = CheckOutputs(one, date)) return refused;
  }
  return 0;
}

// The text with tab, CR, LF and space as %XX, so that a column holds it.
std::string Column(std::string_view text) {
  std::string column;
  for (const char c : text) {
    if (c == '\t' || c == '\r' || c == '\n' || c == ' ') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned>(c));
      column += escaped;
    } else {
      column += c;
    }
  }
  return column;
}

// A time as logged, $time_local's "01/Dec/2026:08:00:00 +0800" written as
// 2026-12-01T08:00:00+08:00; any other text as a column holds it.
std::string TimeColumn(std::string_view logged) {
  constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const std::size_t month = logged.size() == 26 ? kMonths.find(logged.substr(3, 3)) : 0;
  if (logged.size() != 26 || month == std::string_view::npos || month % 3 != 0) {
    return Column(logged);
  }
  const std::string number = std::to_string(month / 3 + 1);
  return std::string(logged.substr(7, 4)) + (number.size() == 1 ? "-0" : "-") + number + "-" +
         std::string(logged.substr(0, 2)) + "T" + std::string(logged.substr(12, 8)) +
         std::string(logged.substr(21, 3)) + ":" + std::string(logged.substr(24, 2));
}

// The report's line of one link: LINK HITS CRAWLERS FIRST LAST STATUSES
// SITE-REFERRERS OTHER-REFERRERS, tab-separated (lists in a column separated
// by spaces, "google:3", "3:PAGE"), or one JSON object with those fields.
std::string ReportLine(const DeadLinkLog& dead, std::size_t i, LineFormat format) {
  const DeadLinkLog::Report& report = dead.Reports()[i];
  std::vector<DeadLinkLog::Referrer> referrers = report.referrers;
  std::stable_sort(referrers.begin(), referrers.end(),
                   [](const auto& a, const auto& b) { return a.hits > b.hits; });
  const bool json = format == LineFormat::kJson;
  const auto list = [&](const auto& items, auto item) {
    std::string text;
    for (const auto& each : items) text += (text.empty() ? "" : json ? "," : " ") + item(each);
    return json ? "[" + text + "]" : text;
  };
  std::string side[2];  // of the site, of other sites
  std::size_t shown[2] = {0, 0};
  for (const auto& referrer : referrers) {
    const int other = dead.OnSite(referrer.page) ? 0 : 1;
    if (shown[other]++ >= 3) continue;
    std::string& text = side[other];
    if (!text.empty()) text += json ? "," : " ";
    text += json ? "{\"page\":" + JsonString(referrer.page) +
                       ",\"hits\":" + std::to_string(referrer.hits) + "}"
                 : std::to_string(referrer.hits) + ":" + Column(referrer.page);
  }
  const auto crawlers = list(report.crawlers, [&](const auto& c) {
    return json ? "{\"crawler\":\"" + std::string(c.first) +
                      "\",\"hits\":" + std::to_string(c.second) + "}"
                : std::string(c.first) + ":" + std::to_string(c.second);
  });
  const auto statuses = list(report.statuses, [](int status) { return std::to_string(status); });
  if (json) {
    return "{\"link\":" + JsonString(dead.Links()[i]) +
           ",\"hits\":" + std::to_string(dead.Hits()[i]) + ",\"crawlers\":" + crawlers +
           ",\"first\":" + JsonString(TimeColumn(report.first)) +
           ",\"last\":" + JsonString(TimeColumn(report.last)) + ",\"statuses\":" + statuses +
           ",\"site_referrers\":[" + side[0] + "],\"other_referrers\":[" + side[1] + "]}\n";
  }
  return Column(dead.Links()[i]) + "\t" + std::to_string(dead.Hits()[i]) + "\t" + crawlers + "\t" +
         TimeColumn(report.first) + "\t" + TimeColumn(report.last) + "\t" + statuses + "\t" +
         side[0] + "\t" + side[1] + "\n";
}

// "3,816 dead links, 1,204 asked for by crawlers; 37 linked from other
// sites: a 301 may serve them better".
std::string ReportSummary(const DeadLinkLog& dead, const std::vector<std::size_t>& kept) {
  std::size_t crawled = 0;
  std::size_t linked = 0;
  for (const std::size_t i : kept) {
    const DeadLinkLog::Report& report = dead.Reports()[i];
    crawled += report.crawlers.empty() ? 0 : 1;
    linked +=
        std::ranges::any_of(report.referrers, [&](const auto& r) { return !dead.OnSite(r.page); });
  }
  return Counted(kept.size(), "dead link", "dead links") + ", " + GroupThousands(crawled) +
         " asked for by crawlers; " + GroupThousands(linked) +
         " linked from other sites: a 301 may serve them better (see --format tsv)";
}

// "4,000,000 lines read, 3,992,090 in the layout, 281,118 answered 404 or
// 410, 3,816 distinct links".
std::string Summary(std::size_t lines, std::size_t in_layout, const DeadLinkLog& dead,
                    const std::vector<int>& statuses, std::size_t links) {
  std::string text = Counted(lines, "line", "lines") + " read, " + GroupThousands(in_layout) +
                     " in the layout, " + GroupThousands(dead.Answered()) + " answered";
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    text += i == 0 ? " " : i + 1 == statuses.size() ? " or " : ", ";
    text += std::to_string(statuses[i]);
  }
  return text + ", " + Counted(links, "distinct link", "distinct links");
}

}  // namespace

int RunScanLog(const Options& options) {
  std::optional<DateTime> date;
  if (options.output && !(date = DocumentDate())) return 1;
  if (const int refused = date ? CheckLogOutputs(options, *date) : 0) return refused;
  const std::optional<AccessLogFormat> format =
      AccessLogFormat::Parse(options.log_format.value_or(std::string(kCombinedLogFormat)));
  if (options.crawlers && !format->HasUserAgent()) {
    return Fail(
        "--crawlers and --crawler need the user agent in the log's layout "
        "($http_user_agent)");
  }
  if ((options.since || options.until) && !format->HasTime()) {
    return Fail(
        "--since and --until need the time in the log's layout ($time_local or "
        "$time_iso8601)");
  }
  DeadLinkLog dead(options.site, options.statuses,
                   {options.crawlers, options.crawler, options.excluded, options.strip_query,
                    options.since, options.until},
                   options.report);
  std::size_t lines = 0;
  std::size_t in_layout = 0;
  for (const std::string& log : options.inputs) {
    Skipped skipped;
    if (!ScanLog(log, *format, dead, skipped)) return 2;
    if (skipped.count != 0) Say(Named(log) + ": " + skipped.Text());
    lines += skipped.lines;
    in_layout += skipped.lines - skipped.not_in_layout;
  }
  // The links asked for often enough, in the order first seen.
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < dead.Links().size(); ++i) {
    if (dead.Hits()[i] >= options.min_hits) kept.push_back(i);
  }
  const std::string summary = Summary(lines, in_layout, dead, options.statuses, kept.size());
  if (lines != 0 && in_layout == 0) {
    Say(summary);
    return Fail("no line of the logs is in the log's layout; --log-format tells it", 1);
  }
  // The links, or their report, to standard output, or as the document's
  // locs where -o is given.
  int written = 0;
  if (options.output) {
    written = WriteDocuments(options, *date, [&](DocumentBuilder& builder) {
      for (const std::size_t i : kept) builder.Add(dead.Links()[i]);
    });
  } else {
    for (const std::size_t i : kept) {
      const std::string line = options.report ? ReportLine(dead, i, options.format)
                                              : std::string(dead.Links()[i]) + "\n";
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (std::fflush(stdout) != 0) written = Fail(CannotWriteStandardOutput(), 1);
  }
  Say(summary);
  if (options.report) Say(ReportSummary(dead, kept));
  return written;
}

}  // namespace lirrevo::cli
