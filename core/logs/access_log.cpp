#include "core/logs/access_log.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <chrono>

#include "core/document/ascii.h"
#include "core/document/text_scan.h"
#include "core/logs/crawlers.h"
#include "core/logs/own_requests.h"

namespace lirrevo {
namespace {

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Offset of the first byte at or after from that is end, or npos; inside
// quotes a byte after a backslash is skipped.
std::size_t FindEnd(std::string_view line, std::size_t from, char end, bool quoted) {
  for (;;) {
    const std::size_t at = FindByte(line, from, end);
    if (at == line.size()) return std::string_view::npos;
    if (!quoted || at == from || line[at - 1] != '\\') return at;
    std::size_t backslashes = 0;
    while (at - backslashes > from && line[at - backslashes - 1] == '\\') ++backslashes;
    if (backslashes % 2 == 0) return at;
    from = at + 1;
  }
}

// Whether line holds literal at pos, which is no further than its end, its
// first `known` bytes being there already. The literals are a byte or two,
// shorter than a call to memcmp is worth.
bool HoldsAt(std::string_view line, std::size_t pos, std::string_view literal, std::size_t known) {
  if (line.size() - pos < literal.size()) return false;
  for (std::size_t i = known; i < literal.size(); ++i) {
    if (line[pos + i] != literal[i]) return false;
  }
  return true;
}

// A status of three digits, 100 to 599.
std::optional<int> StatusOf(std::string_view text) {
  if (text.size() != 3 || text[0] < '1' || text[0] > '5') return std::nullopt;
  if (text[1] < '0' || text[1] > '9' || text[2] < '0' || text[2] > '9') return std::nullopt;
  return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

// METHOD TARGET [PROTOCOL], where TARGET is not empty and METHOD not CONNECT.
// TARGET runs to the last space when a protocol follows it, so a space the
// server logged in the path stays in the path.
bool ReadRequestLine(std::string_view request, LoggedRequest& out) {
  const std::size_t space = FindByte(request, 0, ' ');
  if (space == 0 || space == request.size()) return false;
  out.method = request.substr(0, space);
  const std::size_t last = FindLastByte(request, ' ');
  const bool protocol = last > space && request.substr(last + 1).starts_with("HTTP/");
  out.target = request.substr(space + 1, protocol ? last - space - 1 : std::string_view::npos);
  return !out.target.empty() && out.method != "CONNECT";
}

// A request the check sent: its user agent is Lirrevo's, or its path ends in
// a page the check made up.
bool IsOwnRequest(std::string_view user_agent, std::string_view target) {
  const std::string_view path = target.substr(0, target.find('?'));
  return user_agent.starts_with(kUserAgentProduct) ||
         path.substr(path.rfind('/') + 1).starts_with(kProbeMark);
}

// The bytes a path and query hold as they are (RFC 3986: unreserved,
// sub-delims, ':', '@', '/', '?'); '%' only before two hex digits.
constexpr std::array<bool, 256> kUrlBytes = [] {
  std::array<bool, 256> bytes{};
  for (const char c : std::string_view("-._~!$&'()*+,;=:@/?"))
    bytes[static_cast<unsigned char>(c)] = true;
  for (int c = '0'; c <= '9'; ++c) bytes[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) bytes[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) bytes[c] = true;
  return bytes;
}();

// The target with the servers' log escapes undone: nginx's \xHH, \" and \\,
// and Apache's \" \\ \t \n \r \b \v. A backslash before anything else is
// the target's own. In out, unless there is no backslash at all.
std::string_view Unescape(std::string_view logged, std::string& out) {
  if (logged.find('\\') == std::string_view::npos) return logged;
  constexpr std::string_view kNamed = "\"\\tnrbv";
  constexpr std::string_view kBytes = "\"\\\t\n\r\b\v";
  out.clear();
  for (std::size_t at = 0; at < logged.size(); ++at) {
    const char next = at + 1 < logged.size() ? logged[at + 1] : '\0';
    const std::size_t named = kNamed.find(next);  // none for '\0'
    if (logged[at] != '\\') {
      out += logged[at];
    } else if (next == 'x' && HexPairAt(logged, at + 2)) {
      out += static_cast<char>(HexDigit(logged[at + 2]) * 16 + HexDigit(logged[at + 3]));
      at += 3;
    } else if (named != std::string_view::npos) {
      out += kBytes[named];
      ++at;
    } else {
      out += '\\';
    }
  }
  return out;
}

// Appends path with every byte a URL cannot hold as %XX.
void AppendUrlPath(std::string_view path, std::string& out) {
  std::size_t kept = 0;  // the bytes before it are in out
  for (std::size_t at = 0; at < path.size(); ++at) {
    const auto c = static_cast<unsigned char>(path[at]);
    if (kUrlBytes[c] || (c == '%' && HexPairAt(path, at + 1))) continue;
    out.append(path.substr(kept, at - kept));
    AppendPercentEscaped(out, c);
    kept = at + 1;
  }
  out.append(path.substr(kept));
}

// "host:port" of an http or https URL, the host in lower case and the port
// the scheme's where none is written; rest is what follows the authority.
// Nothing for any other text.
std::optional<std::string> OriginOf(std::string_view url, std::string_view* rest = nullptr) {
  std::string_view port;
  if (StartsWithNoCase(url, "http://")) {
    port = "80";
  } else if (StartsWithNoCase(url, "https://")) {
    port = "443";
  } else {
    return std::nullopt;
  }
  url.remove_prefix(url.find("//") + 2);
  const std::size_t end = std::min(url.find_first_of("/?#"), url.size());
  std::string_view host = url.substr(0, end);
  if (rest != nullptr) *rest = url.substr(end);
  // The last ':' outside an IPv6 address's brackets.
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos &&
      (host.rfind(']') == std::string_view::npos || colon > host.rfind(']'))) {
    if (colon + 1 < host.size()) port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  if (host.empty()) return std::nullopt;
  std::string origin = LowerAscii(std::string(host));
  origin += ':';
  origin += port;
  return origin;
}

// Reads `count` digits at text[at], moving at past them.
std::optional<int> Digits(std::string_view text, std::size_t& at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < count; ++i, ++at) {
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
    value = value * 10 + (text[at] - '0');
  }
  return value;
}

bool Skip(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

// Reads text at `at` as layout lays it out, moving at past it: each run of
// '#' is a number of that many digits, put in the next of numbers; any other
// byte stands for itself.
bool ReadLayout(std::string_view text, std::size_t& at, std::string_view layout, int* numbers) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i] != '#') {
      if (!Skip(text, at, layout[i])) return false;
      continue;
    }
    const std::size_t count = std::min(layout.find_first_not_of('#', i), layout.size()) - i;
    const std::optional<int> value = Digits(text, at, count);
    if (!value) return false;
    *numbers++ = *value;
    i += count - 1;
  }
  return true;
}

// "+0800", "+08:00", "-05:30" or "Z" at text[at]: the offset in seconds.
std::optional<std::int64_t> OffsetAt(std::string_view text, std::size_t& at) {
  if (Skip(text, at, 'Z')) return 0;
  if (at >= text.size() || (text[at] != '+' && text[at] != '-')) return std::nullopt;
  const int sign = text[at++] == '-' ? -1 : 1;
  const std::optional<int> hours = Digits(text, at, 2);
  Skip(text, at, ':');
  const std::optional<int> minutes = Digits(text, at, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  return sign * (*hours * 3600 + *minutes * 60);
}

std::optional<LogTime> TimeOf(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  // A day past the month's end (31 February) runs on into the next month.
  const std::chrono::sys_days date = std::chrono::year(year) / month / 1;
  LogTime time;
  time.local = (date.time_since_epoch().count() + day - 1) * std::int64_t{86400} + hour * 3600 +
               minute * 60 + second;
  return time;
}

}  // namespace

std::optional<LogTime> ParseLogTime(std::string_view text, bool iso) {
  std::size_t at = 0;
  if (iso) {
    bool day_only = false;
    std::optional<LogTime> time = ParseDateArgument(text, day_only);
    if (!time || day_only || !time->offset) return std::nullopt;
    return time;
  }
  constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  int n[5] = {};  // the day, then the year, hour, minute and second
  if (!ReadLayout(text, at, "##/", n) || at + 3 > text.size()) return std::nullopt;
  const std::size_t month = kMonths.find(text.substr(at, 3));
  at += 3;
  if (month == std::string_view::npos || month % 3 != 0 ||
      !ReadLayout(text, at, "/####:##:##:## ", n + 1)) {
    return std::nullopt;
  }
  std::optional<LogTime> time =
      TimeOf(n[1], static_cast<int>(month / 3) + 1, n[0], n[2], n[3], n[4]);
  if (time) time->offset = OffsetAt(text, at);
  if (!time || !time->offset || at != text.size()) return std::nullopt;
  return time;
}

std::optional<LogTime> ParseDateArgument(std::string_view text, bool& day_only) {
  std::size_t at = 0;
  int n[6] = {};  // year, month, day, hour, minute, second
  if (!ReadLayout(text, at, "####-##-##", n)) return std::nullopt;
  day_only = at == text.size();
  if (!day_only && (!ReadLayout(text, at, "T##:##", n + 3) ||
                    (text.substr(at).starts_with(':') && !ReadLayout(text, at, ":##", n + 5)))) {
    return std::nullopt;
  }
  std::optional<LogTime> time = TimeOf(n[0], n[1], n[2], n[3], n[4], n[5]);
  if (time && !day_only && at < text.size()) {
    time->offset = OffsetAt(text, at);
    if (!time->offset) return std::nullopt;
  }
  if (!time || at != text.size()) return std::nullopt;
  return time;
}

std::optional<AccessLogFormat> AccessLogFormat::Parse(std::string_view format) {
  AccessLogFormat parsed;
  std::string literal;
  bool request = false;
  bool method = false;
  bool uri = false;
  bool status = false;
  for (std::size_t at = 0; at < format.size();) {
    if (format[at] != '$') {
      literal += format[at++];
      continue;
    }
    const bool braced = at + 1 < format.size() && format[at + 1] == '{';
    std::size_t end = at + (braced ? 2 : 1);
    while (end < format.size() && IsNameByte(format[end])) ++end;
    const std::string_view name = format.substr(at + (braced ? 2 : 1), end - at - (braced ? 2 : 1));
    if (name.empty() || (braced && (end == format.size() || format[end] != '}'))) {
      return std::nullopt;
    }
    if (literal.empty() && !parsed.pieces_.empty()) return std::nullopt;  // two fields touch
    Piece piece;
    piece.literal = std::move(literal);
    literal.clear();
    piece.quoted = piece.literal.ends_with('"');
    if (name == "request") piece.field = Field::kRequest, request = true;
    if (name == "request_method") piece.field = Field::kMethod, method = true;
    if (name == "request_uri") piece.field = Field::kUri, uri = true;
    if (name == "status") piece.field = Field::kStatus, status = true;
    if (name == "http_user_agent") piece.field = Field::kUserAgent;
    if (name == "time_local") piece.field = Field::kTimeLocal;
    if (name == "time_iso8601") piece.field = Field::kTimeIso;
    if (name == "http_referer") piece.field = Field::kReferrer;
    if (piece.field == Field::kRequest || piece.field == Field::kMethod ||
        piece.field == Field::kUri || piece.field == Field::kStatus) {
      parsed.last_required_ = parsed.pieces_.size();
    }
    parsed.pieces_.push_back(std::move(piece));
    at = end + (braced ? 1 : 0);
  }
  if (!status || !(request || (method && uri))) return std::nullopt;
  parsed.pieces_.push_back(Piece{std::move(literal), Field::kOther, false});
  // Nothing after the last field that is read needs to be looked at.
  while (parsed.pieces_.size() > 1 &&
         parsed.pieces_[parsed.pieces_.size() - 2].field == Field::kOther) {
    parsed.pieces_.pop_back();
  }
  parsed.pieces_.back().field = Field::kOther;
  parsed.pieces_.back().literal = parsed.pieces_.back().literal.substr(0, 1);
  for (std::size_t i = 0; i + 1 < parsed.pieces_.size(); ++i) {
    const std::string& next = parsed.pieces_[i + 1].literal;
    parsed.pieces_[i].ends_line = next.empty();
    parsed.pieces_[i].end = next.empty() ? '\0' : next[0];
  }
  return parsed;
}

bool AccessLogFormat::HasTime() const {
  return std::ranges::any_of(pieces_, [](const Piece& piece) {
    return piece.field == Field::kTimeLocal || piece.field == Field::kTimeIso;
  });
}

bool AccessLogFormat::HasUserAgent() const {
  return std::ranges::find(pieces_, Field::kUserAgent, &Piece::field) != pieces_.end();
}

std::optional<LoggedRequest> AccessLogFormat::Read(std::string_view line, bool whole) const {
  // The one object returned, never copied; made by emplace, field by field,
  // as value-initialising it (std::in_place) clears it whole, a slow
  // `rep stos` on x86.
  std::optional<LoggedRequest> out;
  out.emplace();
  if (!ReadPieces(line, 0, last_required_ + 1, *out) || out->method.empty() ||
      out->target.empty() || out->method == "CONNECT") {
    out.reset();
  } else if (whole) {
    ReadRest(line, *out);
  }
  return out;
}

void AccessLogFormat::ReadRest(std::string_view line, LoggedRequest& request) const {
  ReadPieces(line, last_required_ + 1, pieces_.size() - 1, request);
}

bool AccessLogFormat::ReadPieces(std::string_view line, std::size_t first, std::size_t last,
                                 LoggedRequest& out) const {
  std::size_t pos = out.read_to;
  for (std::size_t i = first; i < last; ++i) {
    const Piece& piece = pieces_[i];
    // Where the field before ended, FindEnd found the literal's first byte;
    // where it ran to the line's end, a literal cannot follow.
    if (!HoldsAt(line, pos, piece.literal, i == 0 ? 0 : 1)) {
      // The fields after the request and the status may be missing or laid
      // out otherwise (a common line read by the combined layout).
      if (i > last_required_) break;
      return false;
    }
    pos += piece.literal.size();
    // A field that ends the template ends the line; so may the last of the
    // request and the status, and any field after them.
    std::size_t end = piece.ends_line ? line.size() : FindEnd(line, pos, piece.end, piece.quoted);
    if (end == std::string_view::npos) {
      if (i < last_required_) return false;
      end = line.size();
    }
    const std::string_view value(line.data() + pos, end - pos);
    pos = end;
    if (piece.field == Field::kOther) continue;  // most of them: no jump through the switch
    switch (piece.field) {
      case Field::kRequest:
        if (!ReadRequestLine(value, out)) return false;
        break;
      case Field::kMethod:
        out.method = value;
        break;
      case Field::kUri:
        out.target = value;
        break;
      case Field::kStatus:
        if (const std::optional<int> status = StatusOf(value)) {
          out.status = *status;
        } else {
          return false;
        }
        break;
      case Field::kUserAgent:
        out.user_agent = value;
        break;
      case Field::kReferrer:
        out.referrer = value;
        break;
      case Field::kTimeLocal:
      case Field::kTimeIso:
        out.time = value;
        out.time_iso = piece.field == Field::kTimeIso;
        break;
      case Field::kOther:
        break;
    }
  }
  out.read_to = pos;
  return true;
}

DeadLinkLog::DeadLinkLog(std::string_view site, std::vector<int> statuses, DeadLinkFilter filter,
                         bool report)
    : site_(site),
      origin_(OriginOf(site).value_or("")),
      statuses_(std::move(statuses)),
      filter_(std::move(filter)),
      report_(report) {
  while (site_.ends_with('/')) site_.pop_back();
}

DeadLinkLog::Line DeadLinkLog::Take(const AccessLogFormat& format, std::string_view line) {
  std::optional<LoggedRequest> request = format.Read(line, false);
  if (!request) return Line::kNotInLayout;
  std::string_view path = request->target;
  if (path[0] != '/') {
    // Into a string_view of its own: were path's address taken, it would be
    // copied from the request with a 16-byte load of two 8-byte stores,
    // which waits for them to reach the cache.
    std::string_view rest;
    if (origin_.empty() || OriginOf(path, &rest) != origin_) return Line::kNotOnSite;
    path = rest;
  }
  if (std::find(statuses_.begin(), statuses_.end(), request->status) == statuses_.end()) {
    return Line::kOnSite;
  }
  ++answered_;
  if (request->method != "GET" && request->method != "HEAD") return Line::kOnSite;
  // The rest of the line this time, for the user agent and the time.
  format.ReadRest(line, *request);
  if (filter_.since || filter_.until) {
    const std::optional<LogTime>& time = RequestTime(*request);
    if (!time) return Line::kNotInLayout;
    if ((filter_.since && time->Against(*filter_.since) < filter_.since->Against(*time)) ||
        (filter_.until && time->Against(*filter_.until) >= filter_.until->Against(*time))) {
      return Line::kOnSite;
    }
  }
  path_.clear();
  if (!path.starts_with('/')) path_ += '/';
  AppendUrlPath(Unescape(path, unescaped_), path_);
  if (IsOwnRequest(request->user_agent, path_)) return Line::kOnSite;
  const Crawler* crawler =
      filter_.crawlers || report_ ? CrawlerOfAgent(request->user_agent) : nullptr;
  if (!Counts(crawler)) return Line::kOnSite;
  if (const auto seen = seen_.find(path_); seen != seen_.end()) {
    ++hits_[seen->second];
    Note(seen->second, *request, crawler);
    return Line::kOnSite;
  }
  links_.push_back(site_);
  links_.back() += path_;
  hits_.push_back(1);
  seen_.emplace(std::string_view(links_.back()).substr(site_.size()), links_.size() - 1);
  if (report_) reports_.emplace_back();
  Note(links_.size() - 1, *request, crawler);
  return Line::kOnSite;
}

void DeadLinkLog::Note(std::size_t link, const LoggedRequest& request, const Crawler* crawler) {
  if (!report_) return;
  Report& report = reports_[link];
  if (crawler != nullptr) {
    auto it = std::find_if(report.crawlers.begin(), report.crawlers.end(),
                           [&](const auto& c) { return c.first == crawler->name; });
    if (it == report.crawlers.end()) it = report.crawlers.insert(it, {crawler->name, 0});
    ++it->second;
  }
  if (report.first.empty()) report.first = request.time;
  report.last = request.time;
  if (std::ranges::find(report.statuses, request.status) == report.statuses.end()) {
    report.statuses.push_back(request.status);
  }
  if (request.referrer.empty() || request.referrer == "-") return;
  auto& referrers = report.referrers;
  auto it = std::ranges::find(referrers, request.referrer, &Referrer::page);
  if (it == referrers.end() && referrers.size() < kReferrersKept) {
    it = referrers.insert(referrers.end(), {std::string(request.referrer), 0});
  } else if (it == referrers.end()) {
    // The least counted gives way, and the newcomer takes over its count.
    it = std::ranges::min_element(referrers, {}, &Referrer::hits);
    it->page = request.referrer;
  }
  ++it->hits;
}

bool DeadLinkLog::OnSite(std::string_view referrer) const {
  return !origin_.empty() && OriginOf(referrer) == origin_;
}

const std::optional<LogTime>& DeadLinkLog::RequestTime(const LoggedRequest& request) {
  if (request.time != time_text_ || request.time_iso != time_iso_) {
    time_text_ = request.time;
    time_iso_ = request.time_iso;
    time_ = ParseLogTime(request.time, request.time_iso);
  }
  return time_;
}

const Crawler* DeadLinkLog::CrawlerOfAgent(std::string_view user_agent) {
  if (const auto known = crawlers_.find(user_agent); known != crawlers_.end()) return known->second;
  const Crawler* crawler = CrawlerOf(user_agent);
  if (crawlers_.size() < kUserAgentsKept) crawlers_.emplace(user_agent, crawler);
  return crawler;
}

bool DeadLinkLog::Counts(const Crawler* crawler) {
  if (filter_.strip_query) path_.erase(std::min(path_.find('?'), path_.size()));
  if (filter_.crawlers &&
      (crawler == nullptr || (!filter_.crawler.empty() && crawler->name != filter_.crawler))) {
    return false;
  }
  if (filter_.excluded.empty()) return true;
  query_less_.assign(path_, 0, path_.find('?'));
  return std::ranges::none_of(filter_.excluded, [&](const std::string& glob) {
    return fnmatch(glob.c_str(), query_less_.c_str(), 0) == 0;
  });
}

}  // namespace lirrevo
