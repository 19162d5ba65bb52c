// A web server's access log: the request and the status of each line, read
// by a layout given as an nginx log_format template, and the dead links
// gathered from them.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace lirrevo {

// The layout of nginx's and Apache's "combined" format. Its fields after the
// size (the referrer and the user agent) may be missing, so it reads Apache's
// "common" format too.
inline constexpr std::string_view kCombinedLogFormat =
    "$remote_addr $remote_ident $remote_user [$time_local] \"$request\" $status "
    "$body_bytes_sent \"$http_referer\" \"$http_user_agent\"";

// What a line says about its request.
struct LoggedRequest {
  std::string_view method;
  std::string_view target;  // as logged: percent-encoding and query kept
  int status = 0;
  std::string_view user_agent;  // empty where the layout or the line has none
};

// A log_format template: literal text and $variables. A variable's value
// runs to the first byte of the literal after it; inside double quotes a
// backslash escapes the next byte, as servers log a quote in a request. The
// request comes from $request ("METHOD TARGET PROTOCOL"), or from
// $request_method with $request_uri; the status from $status; the user agent
// from $http_user_agent. Variables the template holds after the last of these
// are not read, and a line may end before the fields that follow the request
// and the status.
class AccessLogFormat {
 public:
  // Nothing when the template does not name a request and the status, or
  // puts two variables side by side with nothing between them.
  static std::optional<AccessLogFormat> Parse(std::string_view format);

  // The request of one line (no line break); nothing when the line does not
  // follow the layout, its request line is not METHOD TARGET [PROTOCOL] (a
  // "-", a truncated line) or it is a CONNECT, whose target is no path.
  std::optional<LoggedRequest> Read(std::string_view line) const;

 private:
  enum class Field { kOther, kRequest, kMethod, kUri, kStatus, kUserAgent };
  struct Piece {
    std::string literal;  // before the field
    Field field = Field::kOther;
    bool quoted = false;  // the field stands between double quotes
  };
  std::vector<Piece> pieces_;
  std::size_t last_required_ = 0;  // the piece of the request or status that comes last
};

// The distinct dead links in the order first seen: SITE (without a final
// '/') and the path as logged, for each GET or HEAD whose status is one of
// the set and whose target is a path. The check's own requests are left out:
// those whose user agent is Lirrevo's, and its probes of made-up pages.
class DeadLinkLog {
 public:
  DeadLinkLog(std::string_view site, std::vector<int> statuses);

  // False when the line does not follow the format; such lines are counted
  // by the caller.
  bool Take(const AccessLogFormat& format, std::string_view line);
  const std::deque<std::string>& Links() const { return links_; }

 private:
  std::string site_;
  std::vector<int> statuses_;
  std::deque<std::string> links_;              // a deque: its strings never move
  std::unordered_set<std::string_view> seen_;  // the paths, viewed in links_
};

}  // namespace lirrevo
