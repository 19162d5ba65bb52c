#include "check/page_links.h"

#include <initializer_list>
#include <optional>
#include <unordered_set>

#include "check/html_page.h"
#include "check/url.h"
#include "core/document/ascii.h"

namespace lirrevo::check {
namespace {

constexpr std::string_view kSpace = " \t\n\f\r";  // HTML's ASCII white space

// Whether text, split at any of separators, holds one of words, in any case.
bool HoldsWord(std::string_view text, std::string_view separators,
               std::initializer_list<std::string_view> words) {
  while (true) {
    const std::size_t end = text.find_first_of(separators);
    const std::string_view word = text.substr(0, end);
    for (const std::string_view given : words) {
      if (EqualNoCase(word, given)) return true;
    }
    if (end == std::string_view::npos) return false;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

PageLinks LinksOf(std::string_view html, const std::string& page_url) {
  PageLinks page;
  std::vector<std::string> hrefs;  // as written, in the page's order
  std::optional<std::string> base;
  const auto element = [&](std::string_view tag, HtmlAttributes attributes) {
    const auto value = [&](std::string_view name) { return AttributeOf(attributes, name); };
    const char* href = nullptr;
    if (tag == "a" || tag == "area") {
      href = value("href");
    } else if (tag == "iframe") {
      href = value("src");
    } else if (tag == "link" && value("rel") != nullptr &&
               HoldsWord(value("rel"), kSpace, {"canonical", "alternate", "next", "prev"})) {
      href = value("href");
    } else if (tag == "base" && !base && value("href") != nullptr) {
      base = ResolveLink(page_url, value("href")).value_or(page_url);
    } else if (tag == "meta" && value("name") != nullptr && EqualNoCase(value("name"), "robots") &&
               value("content") != nullptr &&
               HoldsWord(value("content"), ", \t\n\f\r", {"nofollow", "none"})) {
      page.nofollow = true;
    }
    if (href != nullptr) hrefs.emplace_back(href);
  };
  ReadHtml(html, element, [](std::string_view) {});
  const UrlHandle parsed = ParsedUrl(base.value_or(page_url));
  if (!parsed) return page;
  std::unordered_set<std::string> seen;
  for (const std::string& href : hrefs) {
    std::optional<std::string> link = ResolveLink(parsed.get(), href);
    if (link && seen.insert(*link).second) page.links.push_back(*std::move(link));
  }
  return page;
}

}  // namespace lirrevo::check
