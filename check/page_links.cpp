#include "check/page_links.h"

#include <gumbo.h>
#include <strings.h>

#include <initializer_list>
#include <optional>
#include <unordered_set>

#include "check/url.h"

namespace lirrevo::check {
namespace {

constexpr std::string_view kSpace = " \t\n\f\r";  // HTML's ASCII white space

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

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

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;  // 0: no byte a character begins with
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xF4) {
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

// html as UTF-8, for gumbo: a page that is no UTF-8 read as Latin-1, so that
// a link's "é" is asked as a browser asks it (%C3%A9), not as U+FFFD.
std::string AsUtf8(std::string_view html) {
  if (IsUtf8(html)) return std::string(html);
  std::string utf8;
  for (const char byte : html) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      utf8 += byte;
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

}  // namespace

PageLinks LinksOf(std::string_view html, const std::string& page_url) {
  PageLinks page;
  const std::string utf8 = AsUtf8(html);
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // only the tree is wanted
  GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  if (output == nullptr) return page;
  std::vector<std::string> hrefs;  // as written, in the page's order
  std::optional<std::string> base;
  std::vector<const GumboNode*> stack = {output->root};
  while (!stack.empty()) {
    const GumboNode* node = stack.back();
    stack.pop_back();
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) continue;
    const GumboElement& element = node->v.element;
    const auto value = [&](const char* name) -> const char* {
      const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
      return attribute != nullptr ? attribute->value : nullptr;
    };
    const char* href = nullptr;
    if (element.tag == GUMBO_TAG_A || element.tag == GUMBO_TAG_AREA) {
      href = value("href");
    } else if (element.tag == GUMBO_TAG_IFRAME) {
      href = value("src");
    } else if (element.tag == GUMBO_TAG_LINK && value("rel") != nullptr &&
               HoldsWord(value("rel"), kSpace, {"canonical", "alternate", "next", "prev"})) {
      href = value("href");
    } else if (element.tag == GUMBO_TAG_BASE && !base && value("href") != nullptr) {
      base = ResolveLink(page_url, value("href")).value_or(page_url);
    } else if (element.tag == GUMBO_TAG_META && value("name") != nullptr &&
               EqualNoCase(value("name"), "robots") && value("content") != nullptr &&
               HoldsWord(value("content"), ", \t\n\f\r", {"nofollow", "none"})) {
      page.nofollow = true;
    }
    if (href != nullptr) hrefs.emplace_back(href);
    for (unsigned i = element.children.length; i > 0; --i) {
      stack.push_back(static_cast<const GumboNode*>(element.children.data[i - 1]));
    }
  }
  gumbo_destroy_output(&options, output);
  std::unordered_set<std::string> seen;
  for (const std::string& href : hrefs) {
    std::optional<std::string> link = ResolveLink(base.value_or(page_url), href);
    if (link && seen.insert(*link).second) page.links.push_back(*std::move(link));
  }
  return page;
}

}  // namespace lirrevo::check
