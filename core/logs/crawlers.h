// The search engines' crawlers, known by the tokens of their user agents:
// one table, for every command that asks who a request came from.
#pragma once

#include <span>
#include <string_view>

namespace lirrevo {

struct Crawler {
  std::string_view name;    // as --crawler takes it
  std::string_view engine;  // the search engine it crawls for
  std::string_view tokens;  // '|' between two: any of them in a user agent marks it
};

// Every crawler of the table, in the order --help lists them.
std::span<const Crawler> Crawlers();

// The crawler whose token the user agent holds (letters compared without
// regard to case), or null. A user agent can be faked: this says what a
// request claims to be.
const Crawler* CrawlerOf(std::string_view user_agent);

}  // namespace lirrevo
