// Asks web servers whether links are dead: HTTP HEAD (GET where HEAD is
// refused), redirects not followed, a bounded number of requests in flight.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::cli {

enum class LinkClass { kDead, kAlive, kRedirect, kError, kInvalid };

// "dead", "alive", "redirect", "error" or "invalid".
std::string_view ClassName(LinkClass link_class);

// What one link turned out to be: its class and the final HTTP status, or 0
// when there was no answer or no request.
struct LinkVerdict {
  LinkClass link_class = LinkClass::kError;
  long code = 0;
  bool operator==(const LinkVerdict&) const = default;
};

// dead for 404 and 410, alive for 2xx, redirect for 3xx, else error.
LinkClass ClassOfStatus(long status);

// The URL to ask for the link, or nothing when the link is not an absolute
// http or https URL (empty, another scheme, no host, white space or control
// characters). Characters outside ASCII in the path and query are
// percent-encoded.
std::optional<std::string> RequestUrl(const std::string& link);

struct CheckSettings {
  int concurrency = 16;               // requests in flight at most
  int per_host = 4;                   // of them to one host name at most
  long timeout_ms = 10000;            // per request, connection included
  long retry_pause_ms = 1000;         // before the one retry, unless Retry-After says otherwise
  std::optional<std::string> cacert;  // extra CA certificates (PEM file)
  std::string user_agent;
};

// Checks every link (UTF-8) and calls done(index, verdict) once per link as
// its verdict is known, not in input order. False when libcurl could not be
// set up; done has then not been called for every link.
bool CheckLinks(const std::vector<std::string>& links, const CheckSettings& settings,
                const std::function<void(std::size_t, LinkVerdict)>& done);

}  // namespace lirrevo::cli
