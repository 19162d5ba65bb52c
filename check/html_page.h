// A page's HTML read as a browser's parser would tokenize it (libxml2's HTML
// parser, as a stream: no tree is built), for the links and the words of the
// pages the check and the crawl read.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

namespace lirrevo::check {

// A start tag's attributes: name, value, name, value ..., then null; names
// in lowercase, values with their character references decoded (a value may
// be null for an attribute without one).
using HtmlAttributes = const char* const*;

// The code point at text[at] and its length in bytes; a byte that does not
// begin valid UTF-8 stands for itself, with a length of 1.
std::pair<char32_t, std::size_t> CodePoint(std::string_view text, std::size_t at);

// The value of the attribute named name, or null.
const char* AttributeOf(HtmlAttributes attributes, std::string_view name);

// Reads html (the page's bytes, perhaps cut; bytes that are no UTF-8 read as
// Latin-1, so that a link's "é" is asked as a browser asks it, %C3%A9, and a
// page's words stay apart): element(tag, attributes) for each start tag, its
// name in lowercase, and text(run) for each run of text between two tags
// outside script, style, noscript and template.
void ReadHtml(std::string_view html,
              const std::function<void(std::string_view, HtmlAttributes)>& element,
              const std::function<void(std::string_view)>& text);

}  // namespace lirrevo::check
