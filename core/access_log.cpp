#include "core/access_log.h"

#include <algorithm>
#include <cstring>

#include "core/own_requests.h"

namespace lirrevo {
namespace {

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Offset of the first byte at or after from that is end, or npos; inside
// quotes a byte after a backslash is skipped.
std::size_t FindEnd(std::string_view line, std::size_t from, char end, bool quoted) {
  for (;;) {
    const void* found = std::memchr(line.data() + from, end, line.size() - from);
    if (found == nullptr) return std::string_view::npos;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - line.data());
    if (!quoted) return at;
    std::size_t backslashes = 0;
    while (at - backslashes > from && line[at - backslashes - 1] == '\\') ++backslashes;
    if (backslashes % 2 == 0) return at;
    from = at + 1;
  }
}

// A status of three digits, 100 to 599.
std::optional<int> StatusOf(std::string_view text) {
  if (text.size() != 3 || text[0] < '1' || text[0] > '5') return std::nullopt;
  if (text[1] < '0' || text[1] > '9' || text[2] < '0' || text[2] > '9') return std::nullopt;
  return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

// METHOD TARGET [PROTOCOL], where TARGET is not empty and METHOD not CONNECT.
bool ReadRequestLine(std::string_view request, LoggedRequest& out) {
  const std::size_t space = request.find(' ');
  if (space == 0 || space == std::string_view::npos) return false;
  out.method = request.substr(0, space);
  const std::size_t end = std::min(request.find(' ', space + 1), request.size());
  out.target = request.substr(space + 1, end - space - 1);
  return !out.target.empty() && out.method != "CONNECT";
}

// A request the check sent: its user agent is Lirrevo's, or its path ends in
// a page the check made up.
bool IsOwnRequest(const LoggedRequest& request) {
  const std::string_view path = request.target.substr(0, request.target.find('?'));
  return request.user_agent.starts_with(kUserAgentProduct) ||
         path.substr(path.rfind('/') + 1).starts_with(kProbeMark);
}

}  // namespace

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
    if (piece.field != Field::kOther && piece.field != Field::kUserAgent) {
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
  return parsed;
}

std::optional<LoggedRequest> AccessLogFormat::Read(std::string_view line) const {
  LoggedRequest out;
  bool have_status = false;
  std::size_t pos = 0;
  for (std::size_t i = 0; i + 1 < pieces_.size(); ++i) {
    const Piece& piece = pieces_[i];
    if (line.compare(pos, piece.literal.size(), piece.literal) != 0) {
      // The fields after the request and the status may be missing or laid
      // out otherwise (a common line read by the combined layout).
      if (i > last_required_) break;
      return std::nullopt;
    }
    pos += piece.literal.size();
    const std::string& next = pieces_[i + 1].literal;
    // A field that ends the template ends the line; so may the last of the
    // request and the status, and any field after them.
    std::size_t end = next.empty() ? line.size() : FindEnd(line, pos, next[0], piece.quoted);
    if (end == std::string_view::npos) {
      if (i < last_required_) return std::nullopt;
      end = line.size();
    }
    const std::string_view value = line.substr(pos, end - pos);
    pos = end;
    switch (piece.field) {
      case Field::kRequest:
        if (!ReadRequestLine(value, out)) return std::nullopt;
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
          have_status = true;
        } else {
          return std::nullopt;
        }
        break;
      case Field::kUserAgent:
        out.user_agent = value;
        break;
      case Field::kOther:
        break;
    }
  }
  if (!have_status || out.method.empty() || out.target.empty() || out.method == "CONNECT") {
    return std::nullopt;
  }
  return out;
}

DeadLinkLog::DeadLinkLog(std::string_view site, std::vector<int> statuses)
    : site_(site), statuses_(std::move(statuses)) {
  while (site_.ends_with('/')) site_.pop_back();
}

bool DeadLinkLog::Take(const AccessLogFormat& format, std::string_view line) {
  const std::optional<LoggedRequest> request = format.Read(line);
  if (!request) return false;
  if (std::find(statuses_.begin(), statuses_.end(), request->status) == statuses_.end() ||
      (request->method != "GET" && request->method != "HEAD") || request->target[0] != '/' ||
      IsOwnRequest(*request) || seen_.contains(request->target)) {
    return true;
  }
  links_.push_back(site_);
  links_.back() += request->target;
  seen_.insert(std::string_view(links_.back()).substr(site_.size()));
  return true;
}

}  // namespace lirrevo
