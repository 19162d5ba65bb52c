// The documents: a sitemap urlset with one url entry per link (the dead-link
// document) and a sitemapindex of the parts of a long list. One builder makes
// all of them and hands them on in chunks of a few MB, so that memory does
// not grow with the output; it cuts a long list into parts where asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/list_input.h"

namespace lirrevo {

inline constexpr std::string_view SitemapHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "  <urlset>\r\n";
// "[当前日期]" and "[链接地址]" in GBK.
inline constexpr std::string_view DatePlaceholder = "[\xB5\xB1\xC7\xB0\xC8\xD5\xC6\xDA]";
inline constexpr std::string_view LinkPlaceholder = "[\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]";
inline constexpr std::string_view UrlEntryTemplate =
    "    <url>\r\n"
    "        <loc>[\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]</loc>\r\n"
    "        <lastmod>[\xB5\xB1\xC7\xB0\xC8\xD5\xC6\xDA]</lastmod>\r\n"
    "        <changefreq>always</changefreq>\r\n"
    "        <priority>1.0</priority>\r\n"
    "    </url>\r\n";
inline constexpr std::string_view SitemapClosing = "  </urlset>";
inline constexpr std::string_view LastmodDateFormat = "%y-%m-%d";

// The index of the parts, in the same layout.
inline constexpr std::string_view SitemapIndexHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "  <sitemapindex>\r\n";
inline constexpr std::string_view SitemapIndexEntryTemplate =
    "    <sitemap>\r\n"
    "        <loc>[\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]</loc>\r\n"
    "        <lastmod>[\xB5\xB1\xC7\xB0\xC8\xD5\xC6\xDA]</lastmod>\r\n"
    "    </sitemap>\r\n";
inline constexpr std::string_view SitemapIndexClosing = "  </sitemapindex>";

inline constexpr std::string_view SitemapNamespace = "http://www.sitemaps.org/schemas/sitemap/0.9";

// What search engines take at most in one file.
inline constexpr std::size_t kEngineMaxUrls = 50000;
inline constexpr std::size_t kEngineMaxBytes = 10485760;  // uncompressed
// What one sitemapindex lists at most.
inline constexpr std::size_t kIndexMaxEntries = 50000;

// A local date and time to the whole second.
struct DateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Replaces every occurrence of pattern, left to right and without overlap,
// matching only where a character of the system's text begins; inserted text
// is never rescanned. An empty text or pattern gives a copy of the text.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Fills %y, %m and %d (in that order) with year, month and day, in decimal
// without leading zeros; everything else of the format is copied.
std::string FormatDate(const DateTime& value, std::string_view format);

// kDeadLink: the bare <urlset> and dates like 2015-2-12, as the dead-link
// tools expect. kStandard: the sitemaps.org namespace, dates like 2015-02-12,
// and no entry for an empty line.
enum class UrlsetForm { kDeadLink, kStandard };

// The entry's date in the form's way.
std::string LastmodText(const DateTime& date, UrlsetForm form);

// kUrlset: a url entry per link; kIndex: a sitemap entry per part's address.
enum class DocumentKind { kUrlset, kIndex };

struct UrlsetOptions {
  UrlsetForm form = UrlsetForm::kDeadLink;
  std::size_t max_urls = SIZE_MAX;   // entries per part
  std::size_t max_bytes = SIZE_MAX;  // bytes per part, header and closing tag included
  std::size_t max_parts = SIZE_MAX;  // the run fails before a part past these begins
  std::size_t chunk_bytes = std::size_t{4} << 20;
};

// The dead-link form cut into parts at what search engines take in one file.
UrlsetOptions EngineLimits();

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

// Collects every part handed on, one after the other, in one string.
class StringSink : public PartSink {
 public:
  bool BeginPart(std::size_t) override { return true; }
  bool Write(std::string_view chunk) override { return text.append(chunk), true; }
  bool EndPart() override { return true; }
  std::string text;
};

struct UrlsetResult {
  bool ok = false;              // every part was handed on
  bool too_many_parts = false;  // the list needed more than max_parts
  std::size_t parts = 0;
  std::size_t urls = 0;           // entries in all parts
  std::size_t skipped_empty = 0;  // empty lines left out (standard form)
  std::size_t most_urls = 0;      // in the part with the most entries
  std::size_t most_bytes = 0;     // in the largest part
  std::size_t whole_bytes = 0;    // in the one document of all the entries
};

// Builds the documents from checked UTF-8 locs handed in one at a time:
// entries in order, a part closed before the entry that would pass max_urls
// or max_bytes (a part holds at least one entry, and one part is always
// written, even for no entries).
class DocumentBuilder {
 public:
  DocumentBuilder(DocumentKind kind, const DateTime& date, const UrlsetOptions& options,
                  PartSink& sink);
  // Counts what the documents would be without making a byte of them.
  DocumentBuilder(DocumentKind kind, const DateTime& date, const UrlsetOptions& options);
  ~DocumentBuilder();
  DocumentBuilder(const DocumentBuilder&) = delete;
  DocumentBuilder& operator=(const DocumentBuilder&) = delete;

  // False when the sink failed; the run is over then.
  bool Add(std::string_view loc);
  // Closes the last part; the result then tells what was handed on.
  UrlsetResult Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The size of the smallest urlset with one entry that the form can have (an
// empty loc, or in the standard form, where empty lines are skipped, a
// one-byte loc), dated date.
std::size_t SmallestUrlsetSize(const DateTime& date, UrlsetForm form);

// A sitemapindex listing locs (checked UTF-8) in order, each with the date.
std::string BuildSitemapIndex(const std::vector<std::string>& locs, const DateTime& date,
                              UrlsetForm form);

// The system clock's current local date and time.
DateTime CurrentDateTime();

// The box read as UTF-8 with CR LF line breaks, straight from the widget
// without the system's text in between, where the widget can give it so;
// not yet checked (see CheckBoxUtf8).
struct BoxUtf8 {
  explicit BoxUtf8(std::string text) : text(std::move(text)) {}
  std::string text;
};
// Reads the box as BoxUtf8; nullopt when it holds what UTF-8 has no form for.
using ReadBoxUtf8Fn = std::function<std::optional<BoxUtf8>()>;

// The check of the box's UTF-8 text before its document is built: nullopt
// when a line holds what the document cannot (see DecodeUtf8List), else what
// BuildSitemapDocument with these options would hand on, counted in the same
// pass without making a byte of it.
std::optional<UrlsetResult> CheckBoxUtf8(std::string_view box_utf8, LineBreaks breaks,
                                         const DateTime& date, const UrlsetOptions& options);

// The urlset documents of the box's checked UTF-8 text, handed to sink as
// options say: an entry for each of its lines (cut as breaks says: the
// window's box at every CR LF, the page's at any line break), each dated `date`.
UrlsetResult BuildSitemapDocument(std::string_view box_utf8, LineBreaks breaks,
                                  const DateTime& date, const UrlsetOptions& options,
                                  PartSink& sink);

}  // namespace lirrevo
