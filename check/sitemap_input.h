// A sitemap as the list of links to check: the <loc> values of a urlset, or
// of every urlset a sitemapindex lists, read as a stream with expat from a
// file, standard input or an http(s) URL, plain or gzip (of one or more
// members), in UTF-8, UTF-16, ISO-8859-1 or US-ASCII.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/link_check.h"

namespace lirrevo::check {

// The most sitemaps one index may list, and the most bytes one sitemap may
// have once uncompressed (search engines take 50 MB).
inline constexpr std::size_t kMaxSitemaps = 50000;
inline constexpr std::size_t kMaxSitemapBytes = std::size_t{100} << 20;

struct SitemapLocs {
  std::string locs;                  // one a line
  std::vector<std::string> skipped;  // "skipped sitemap 'URL': why", of an index
};

// The locs of the sitemap at source ("-" for standard input, a file, or an
// http or https URL fetched within the settings' timeout, CA file and user
// agent), entities decoded and surrounding white space trimmed, as UTF-8 in
// document order, one a line (a line break inside a loc becomes a space). An
// index's sitemaps are read in turn, one level deep; one that cannot be read
// whole is named in skipped and adds no loc. Nothing when source itself
// cannot be read whole, error then saying so ("cannot fetch 'URL': the
// server answered 404"). libcurl must have been set up.
std::optional<SitemapLocs> ReadSitemapLocs(const std::string& source, const CheckSettings& settings,
                                           std::string& error);

// A dead-link file as update keeps it: its links, and the form they are
// written back in.
struct DeadLinkFile {
  bool exists = true;
  std::string locs;  // one a line; an index's parts' in turn
  bool gzip = false;
  bool standard = false;                 // in the sitemaps.org namespace
  std::optional<std::string> index_url;  // an index: the folder its locs name
  std::size_t parts = 0;                 // that an index lists
  std::size_t first_part_urls = 0;       // entries of an index's first part
};

// The dead-link file at path (plain or gzip), or where it is an index, the
// parts it lists, read from beside it: each named as --split names them, in
// order, in one folder. exists is false where there is no file; nothing,
// error then saying why, where it or a part cannot be read whole.
std::optional<DeadLinkFile> ReadDeadLinkFile(const std::string& path, std::string& error);

}  // namespace lirrevo::check
