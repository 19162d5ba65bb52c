// A page's HTML read as a browser's parser would tokenize it (libxml2's HTML
// parser, as a stream: no tree is built), for the links and the words of the
// pages the check and the crawl read.
#pragma once

#include <functional>
#include <string_view>

namespace lirrevo::check {

// A start tag's attributes: name, value, name, value ..., then null; names
// in lowercase, values with their character references decoded (a value may
// be null for an attribute without one).
using HtmlAttributes = const char* const*;

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
