// A sitemap as the list of links to check: the <loc> values of a urlset, or
// of every urlset a sitemapindex lists, read as a stream with expat from a
// file, standard input or an http(s) URL, plain or gzip.
#pragma once

#include <optional>
#include <string>

#include "cli/link_check.h"

namespace lirrevo::cli {

// The most sitemaps one index may list, and the most bytes one sitemap may
// have once uncompressed (search engines take 50 MB).
inline constexpr std::size_t kMaxSitemaps = 50000;
inline constexpr std::size_t kMaxSitemapBytes = std::size_t{100} << 20;

// The locs of the sitemap at source ("-" for standard input, a file, or an
// http or https URL fetched within the settings' timeout, CA file and user
// agent), entities decoded and surrounding white space trimmed, in document
// order, one a line (a line break inside a loc becomes a space). An index's
// sitemaps are read in turn, one level deep. Nothing after the error is
// printed. libcurl must have been set up.
std::optional<std::string> ReadSitemapLocs(const std::string& source,
                                           const CheckSettings& settings);

}  // namespace lirrevo::cli
