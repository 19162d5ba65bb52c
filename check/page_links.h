// The links a crawler takes from one HTML page, read with libxml2's HTML
// parser, made absolute as a browser makes them, and whether the page asks
// robots not to follow them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::check {

struct PageLinks {
  std::vector<std::string> links;  // absolute http and https URLs, no fragment, each once
  bool nofollow = false;           // <meta name="robots"> says nofollow or none
};

// html: the page's bytes (UTF-8, else read as Latin-1); page_url: the
// absolute URL it was fetched from. Links from <a href>, <area href>, <link
// href> whose rel names canonical, alternate, next or prev, and <iframe
// src>, in the page's order, resolved against the first <base href> (itself
// resolved against page_url) or page_url; blank ones and those of other
// schemes (javascript:, mailto:, data: ...) left out.
PageLinks LinksOf(std::string_view html, const std::string& page_url);

}  // namespace lirrevo::check
