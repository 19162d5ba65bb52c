// The document for a big list, built and handed on in chunks of a few MB, so
// that memory does not grow with the output; optionally cut into parts.
//
// The list is read as lines: CR LF, a lone LF and a lone CR each end one, and
// a final line break adds no line. Only the runs of bytes at or above 0x80 are
// converted: ASCII is the same in GBK, GB18030 and UTF-8, and every link is
// written as UTF-8 exactly as the window's document would hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sitemap_document.h"

namespace lirrevo {

enum class ListEncoding { kUtf8, kGbk, kGb18030 };

// kDeadLink: the bare <urlset> and dates like 2015-2-12, as the dead-link
// tools expect. kStandard: the sitemaps.org namespace, dates like 2015-02-12,
// and no entry for an empty line.
enum class UrlsetForm { kDeadLink, kStandard };

// What search engines take at most in one file.
inline constexpr std::size_t kEngineMaxUrls = 50000;
inline constexpr std::size_t kEngineMaxBytes = 10485760;  // uncompressed

inline constexpr std::string_view SitemapNamespace = "http://www.sitemaps.org/schemas/sitemap/0.9";

struct UrlsetOptions {
  UrlsetForm form = UrlsetForm::kDeadLink;
  std::size_t max_urls = SIZE_MAX;   // entries per part
  std::size_t max_bytes = SIZE_MAX;  // bytes per part, header and closing tag included
  std::size_t chunk_bytes = std::size_t{4} << 20;
};

// Receives the parts, numbered from 1, each a complete document: BeginPart,
// then its bytes through Write in order, then EndPart. False from any of them
// ends the run.
class PartSink {
 public:
  virtual ~PartSink() = default;
  virtual bool BeginPart(std::size_t number) = 0;
  virtual bool Write(std::string_view chunk) = 0;
  virtual bool EndPart() = 0;
};

struct UrlsetResult {
  bool input_valid = true;  // false: a line cannot be written; nothing was handed on
  bool ok = false;          // the input was valid and every part was handed on
  std::size_t parts = 0;
  std::size_t urls = 0;           // entries in all parts
  std::size_t skipped_empty = 0;  // empty lines left out (standard form)
  std::size_t most_urls = 0;      // in the part with the most entries
  std::size_t most_bytes = 0;     // in the largest part
};

// Whether every line can be written: valid in its encoding, and holding no
// NUL, no other character that XML 1.0 cannot hold and none that the system's
// text has no code for. A UTF-8 list is taken as it is: a byte-order mark is
// the caller's to drop.
bool ListIsWritable(std::string_view list, ListEncoding encoding);

// Checks the whole list first (nothing is handed on when a line is bad), then
// builds the parts: entries in the list's order, a part closed before the
// entry that would pass max_urls or max_bytes (a part holds at least one
// entry, and one part is always written, even for an empty list).
UrlsetResult StreamUrlset(std::string_view list, ListEncoding encoding, const DateTime& date,
                          const UrlsetOptions& options, PartSink& sink);

// StreamUrlset for a UTF-8 list. It never reaches the converter that GBK and
// GB18030 lists need, so a program that calls only this (the web page) links
// no iconv.
UrlsetResult StreamUtf8Urlset(std::string_view list, const DateTime& date,
                              const UrlsetOptions& options, PartSink& sink);

// The entry's date: 2015-2-12 in the dead-link form, 2015-02-12 in the standard one.
std::string LastmodText(const DateTime& date, UrlsetForm form);

// A sitemapindex listing locs (UTF-8, escaped here) in order, each with the date.
std::string BuildSitemapIndex(const std::vector<std::string>& locs, const DateTime& date,
                              UrlsetForm form);

}  // namespace lirrevo
