#include "check/robots_txt.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/document/ascii.h"
#include "core/document/list_input.h"

namespace lirrevo::check {
namespace {

// RFC 9309 2.5: a crawler must read at least 500 kibibytes of the file.
constexpr std::size_t kMostBytes = 500 * 1024;

// The product token a user-agent value begins with: "Lirrevo/1.0" gives "Lirrevo".
std::string_view ProductToken(std::string_view value) {
  const auto end = std::find_if_not(value.begin(), value.end(), [](char c) {
    return (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z') || c == '_' || c == '-';
  });
  return value.substr(0, static_cast<std::size_t>(end - value.begin()));
}

bool Unreserved(unsigned char c) {
  return (LowerAscii(static_cast<char>(c)) >= 'a' && LowerAscii(static_cast<char>(c)) <= 'z') ||
         (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
}

// text in the form patterns and paths are compared in (RFC 9309 2.2.2). In
// a path '*' and '$' are characters like others, written %2A and %24 so
// that a pattern's %2A and %24 match them (2.2.3); in a pattern they are
// the wildcard and, last, the end.
std::string Canonical(std::string_view text, bool pattern) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '%' && HexPairAt(text, i + 1)) {
      const auto byte =
          static_cast<unsigned char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      if (Unreserved(byte)) {
        out += static_cast<char>(byte);
      } else {
        AppendPercentEscaped(out, byte);
      }
      i += 2;
    } else if (c <= 0x20 || c >= 0x7F || c == '%' || (!pattern && (c == '*' || c == '$')) ||
               (pattern && c == '$' && i + 1 != text.size())) {
      AppendPercentEscaped(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Whether pattern matches the start of path (all of it when the pattern ends
// in '$'), both canonical: '*' tried from the shortest run up.
bool Matches(std::string_view pattern, std::string_view path) {
  const bool anchored = pattern.ends_with('$');
  if (anchored) pattern.remove_suffix(1);
  std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (true) {
    if (p == pattern.size() && (!anchored || t == path.size())) return true;
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && t < path.size() && pattern[p] == path[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos && mark < path.size()) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
}

}  // namespace

RobotsRules ParseRobots(std::string_view text, std::string_view agent) {
  if (text.size() > kMostBytes) {
    const std::size_t end = text.substr(0, kMostBytes).find_last_of("\r\n");
    text = text.substr(0, end == std::string_view::npos ? 0 : end);
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  agent = ProductToken(agent);
  RobotsRules named, star;  // the rules of the groups that name agent, and of the `*` groups
  std::vector<std::string> sitemaps;
  bool named_seen = false, star_seen = false;
  bool for_named = false, for_star = false;  // whom the group being read is for
  bool in_agents = false;  // the group read so far has only user-agent lines: one more joins it
  ForEachLine(text, LineBreaks::kAny, [&](std::string_view line) {
    line = line.substr(0, line.find('#'));
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view key = Trimmed(line.substr(0, colon), " \t");
    const std::string_view value = Trimmed(line.substr(colon + 1), " \t");
    if (EqualNoCase(key, "user-agent")) {
      if (!in_agents) for_named = for_star = false;
      in_agents = true;
      const bool names_star =
          value.starts_with('*') && (value.size() == 1 || value[1] == ' ' || value[1] == '\t');
      const bool names_agent = !agent.empty() && EqualNoCase(ProductToken(value), agent);
      for_star = for_star || names_star;
      for_named = for_named || names_agent;
      star_seen = star_seen || names_star;
      named_seen = named_seen || names_agent;
      return;
    }
    if (EqualNoCase(key, "sitemap")) {
      if (!value.empty() && std::find(sitemaps.begin(), sitemaps.end(), value) == sitemaps.end()) {
        sitemaps.emplace_back(value);
      }
      return;
    }
    const bool allow = EqualNoCase(key, "allow"), delay = EqualNoCase(key, "crawl-delay");
    if (!allow && !delay && !EqualNoCase(key, "disallow")) return;  // unknown: ignored
    in_agents = false;
    for (RobotsRules* rules : {for_named ? &named : nullptr, for_star ? &star : nullptr}) {
      if (rules == nullptr) continue;
      double seconds = -1;
      if (!delay) {
        if (!value.empty()) rules->rules.emplace_back(Canonical(value, true), allow);
      } else if (std::from_chars(value.data(), value.data() + value.size(), seconds).ptr ==
                     value.data() + value.size() &&
                 std::isfinite(seconds) && seconds >= 0 && !rules->crawl_delay) {
        rules->crawl_delay = seconds;
      }
    }
  });
  RobotsRules result = named_seen ? std::move(named) : star_seen ? std::move(star) : RobotsRules{};
  result.sitemaps = std::move(sitemaps);
  return result;
}

RobotsRules DisallowAll() { return RobotsRules{{{"/", false}}, std::nullopt, {}}; }

bool Allowed(const RobotsRules& rules, std::string_view path) {
  if (path.empty()) path = "/";
  if (path == "/robots.txt") return true;
  const std::string canonical = Canonical(path, false);
  std::size_t longest = 0;
  bool allowed = true;
  for (const auto& [pattern, allow] : rules.rules) {
    if (!Matches(pattern, canonical)) continue;
    if (pattern.size() > longest) {
      longest = pattern.size();
      allowed = allow;
    } else if (pattern.size() == longest) {
      allowed = allowed || allow;
    }
  }
  return allowed;
}

}  // namespace lirrevo::check
