// A site's robots.txt as RFC 9309 reads it, for one crawler: the rules of
// the groups that name it (or of the `*` group), and whether a path may be
// fetched by them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lirrevo::check {

// The rules of one robots.txt for one crawler. Patterns are kept in the form
// they are compared in: %xx of an unreserved character decoded, every other
// %xx in uppercase hex, bytes beyond ASCII and controls percent-encoded, and
// a '$' that does not end the pattern written %24.
struct RobotsRules {
  std::vector<std::pair<std::string, bool>> rules;  // pattern, allow
  std::optional<double> crawl_delay;                // seconds
  std::vector<std::string> sitemaps;                // from anywhere in the file, in order
};

// The rules for the crawler whose product token is agent ("lirrevo"): those
// of every group with a user-agent line that names it (the value's leading
// letters, '_' and '-', compared without case), else those of the `*`
// groups, else none. Unknown lines and rules outside a group are ignored;
// only the first 500 KiB is read (up to its last line break). Empty text,
// as for an absent file, gives no rules.
RobotsRules ParseRobots(std::string_view text, std::string_view agent);

// Rules for a robots.txt that could not be fetched (a 5xx answer or no
// answer): nothing but /robots.txt may be fetched.
RobotsRules DisallowAll();

// Whether path (the path and query as sent, percent-encoded, from its '/')
// may be fetched: the rule with the longest pattern that matches wins, Allow
// on a tie; '*' matches any run of characters, a final '$' the end of path;
// no rule matching, or "/robots.txt", is allowed.
bool Allowed(const RobotsRules& rules, std::string_view path);

}  // namespace lirrevo::check
