// A web server's access log: the request and the status of each line, read
// by a layout given as an nginx log_format template, and the dead links
// gathered from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lirrevo {

struct Crawler;

// The layout of nginx's and Apache's "combined" format. Its fields after the
// size (the referrer and the user agent) may be missing, so it reads Apache's
// "common" format too.
inline constexpr std::string_view kCombinedLogFormat =
    "$remote_addr $remote_ident $remote_user [$time_local] \"$request\" $status "
    "$body_bytes_sent \"$http_referer\" \"$http_user_agent\"";

// What a line says about its request.
struct LoggedRequest {
  std::string_view method;
  std::string_view target;  // as logged, the server's backslash escapes still in
  int status = 0;
  std::string_view user_agent;  // empty where the layout or the line has none
  std::string_view time;        // $time_local or $time_iso8601 as logged, or empty
  std::string_view referrer;    // $http_referer as logged, "-" or empty for none
  bool time_iso = false;        // time is $time_iso8601's
  std::size_t read_to = 0;      // where the reading stopped in the line
};

// A moment: its wall-clock seconds from 1970-01-01 00:00:00, and the offset
// from UTC in seconds where one is known.
struct LogTime {
  std::int64_t local = 0;
  std::optional<std::int64_t> offset = std::nullopt;
  // Seconds comparable with other's: UTC where both know their offset,
  // else the wall clock.
  std::int64_t Against(const LogTime& other) const {
    return offset && other.offset ? local - *offset : local;
  }
};

// "09/Dec/2026:05:07:37 +0800" ($time_local), or with iso
// "2026-12-09T05:07:37+08:00" ($time_iso8601); nothing for other text.
std::optional<LogTime> ParseLogTime(std::string_view text, bool iso);

// A date as --since and --until take it: 2026-12-05, 2026-12-05T08:00 or
// with seconds, perhaps followed by Z or +08:00; whether it is a day alone.
std::optional<LogTime> ParseDateArgument(std::string_view text, bool& day_only);

// A log_format template: literal text and $variables. A variable's value
// runs to the first byte of the literal after it; inside double quotes a
// backslash escapes the next byte, as servers log a quote in a request. The
// request comes from $request ("METHOD TARGET PROTOCOL", the target running
// to the last space before a protocol "HTTP/...", or to the end where there
// is none, so a space logged in a path stays in it), or from $request_method
// with $request_uri; the status from $status; the user agent from
// $http_user_agent. Variables the template holds after the last of these are
// not read, and a line may end before the fields that follow the request and
// the status.
class AccessLogFormat {
 public:
  // Nothing when the template does not name a request and the status, or
  // puts two variables side by side with nothing between them.
  static std::optional<AccessLogFormat> Parse(std::string_view format);

  // The request of one line (no line break); nothing when the line does not
  // follow the layout, its request line is not METHOD TARGET [PROTOCOL] (a
  // "-", a truncated line) or it is a CONNECT, whose target is no path.
  // Without whole the line is read no further than the request and the
  // status, which is all most lines need: the same lines are read, but the
  // fields after them are empty until ReadRest reads them.
  std::optional<LoggedRequest> Read(std::string_view line, bool whole = true) const;
  // Reads on, into request, the fields of its line that Read(line, false)
  // left, as a whole Read would have.
  void ReadRest(std::string_view line, LoggedRequest& request) const;

  // Whether the layout holds the user agent ($http_user_agent), the time
  // ($time_local or $time_iso8601).
  bool HasUserAgent() const;
  bool HasTime() const;

 private:
  enum class Field {
    kOther,
    kRequest,
    kMethod,
    kUri,
    kStatus,
    kUserAgent,
    kTimeLocal,
    kTimeIso,
    kReferrer
  };
  struct Piece {
    std::string literal;  // before the field
    Field field = Field::kOther;
    bool quoted = false;     // the field stands between double quotes
    bool ends_line = false;  // no literal follows the field
    char end = '\0';         // else the first byte of the literal after it
  };
  // Reads pieces_[first, last) from request.read_to on; false where the line
  // does not follow the layout.
  bool ReadPieces(std::string_view line, std::size_t first, std::size_t last,
                  LoggedRequest& request) const;
  std::vector<Piece> pieces_;
  std::size_t last_required_ = 0;  // the piece of the request or status that comes last
};

// Which requests a DeadLinkLog counts beside their status: only the crawlers'
// (of the table, or the one named), none whose path (the link's, without
// its query) matches an excluded glob (fnmatch, '*' crossing '/'); and
// whether a path's query strings are taken off, its variants one link.
struct DeadLinkFilter {
  bool crawlers = false;
  std::string crawler = {};  // a name of the table; empty: any crawler
  std::vector<std::string> excluded = {};
  bool strip_query = false;
  // Requests at since or later, before until (both in the log's time where
  // they give no offset); a line without a readable time is not in the layout.
  std::optional<LogTime> since = std::nullopt;
  std::optional<LogTime> until = std::nullopt;
};

// The distinct dead links in the order first seen, for each GET or HEAD
// whose status is one of the set: SITE (without a final '/') and the path
// with its query. The path is a target that begins with '/', or one in
// absolute form on SITE's host and port (an http or https URL, host compared
// without regard to case, a missing port being the scheme's). The server's
// escapes are undone first (\xHH, \", \\, and Apache's \t \n \r \b \v),
// then every byte a URL cannot hold is written %XX, and a '%' not followed by
// two hex digits as %25: with a SITE that is a valid absolute URL (RFC 3986)
// so is each link, whatever the bytes logged, and one page logged two ways
// is one link. The check's own requests are left out: those whose user agent
// is Lirrevo's, and its probes of made-up pages.
class DeadLinkLog {
 public:
  DeadLinkLog(std::string_view site, std::vector<int> statuses, DeadLinkFilter filter = {},
              bool report = false);

  enum class Line {
    kNotInLayout,  // does not follow the format
    kNotOnSite,    // follows it, but its target is no path of the site ("*", another host)
    kOnSite,       // a request for a path of the site
  };
  Line Take(const AccessLogFormat& format, std::string_view line);

  const std::deque<std::string>& Links() const { return links_; }
  // How many requests counted for each of Links(), in its order.
  const std::vector<std::size_t>& Hits() const { return hits_; }

  // What the requests for a link were, for the report: kept only when
  // the log was made with report set.
  struct Referrer {
    std::string page;
    std::size_t hits = 0;
  };
  struct Report {
    std::vector<std::pair<std::string_view, std::size_t>> crawlers;  // name, hits
    std::string first, last;                                         // the times as logged
    std::vector<int> statuses;
    // The pages that linked to it most, of the site and of other sites; at
    // most kReferrersKept are counted a link, the least counted giving way.
    std::vector<Referrer> referrers;
  };
  static constexpr std::size_t kReferrersKept = 8;
  const std::vector<Report>& Reports() const { return reports_; }
  // Whether the referrer is a page of the site.
  bool OnSite(std::string_view referrer) const;
  // The requests for paths of the site whose status is one of the set.
  std::size_t Answered() const { return answered_; }

 private:
  // ParseLogTime of the request's time, remembered for the next line: the
  // lines of a busy log share their second.
  const std::optional<LogTime>& RequestTime(const LoggedRequest& request);

  // CrawlerOf(user_agent), remembered for the first kUserAgentsKept user
  // agents: the same few ask for a log's dead links over and over, and
  // hashing one costs a fifth of looking for every crawler's tokens in it.
  const Crawler* CrawlerOfAgent(std::string_view user_agent);
  static constexpr std::size_t kUserAgentsKept = 512;
  struct TextHash {
    using is_transparent = void;  // found by a string_view, no string made
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  // Whether the request for path_ counts, by the crawler its user agent
  // names (null for none) and its path; takes the query off path_ where asked.
  bool Counts(const Crawler* crawler);

  std::string site_;
  std::string origin_;  // SITE's host in lower case, ':' and its port
  std::vector<int> statuses_;
  DeadLinkFilter filter_;
  std::size_t answered_ = 0;
  std::string unescaped_;          // scratch for the line under way
  std::string path_;               // scratch: the path as it goes in a link
  std::string query_less_;         // scratch: path_ without its query, for the globs
  std::deque<std::string> links_;  // a deque: its strings never move
  std::vector<std::size_t> hits_;
  bool report_ = false;
  std::vector<Report> reports_;
  void Note(std::size_t link, const LoggedRequest& request, const Crawler* crawler);
  std::unordered_map<std::string_view, std::size_t> seen_;  // the paths, viewed in links_
  std::unordered_map<std::string, const Crawler*, TextHash, std::equal_to<>> crawlers_;
  std::string time_text_;  // the last time read, as logged
  bool time_iso_ = false;
  std::optional<LogTime> time_;  // what it is
};

}  // namespace lirrevo
