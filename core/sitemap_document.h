// The dead-link document: a sitemap urlset with one url entry per link.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// A local date and time to the whole second.
struct DateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads the edit box's whole text (GB18030, see output_encoding.h) with CR LF
// line breaks; nullopt when the box holds something that has no code there.
using ReadContentFn = std::function<std::optional<std::string>()>;

// Replaces every occurrence of pattern, left to right and without overlap,
// matching only where a GBK character begins; inserted text is never
// rescanned. An empty text or pattern gives a copy of the text.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Fills %y, %m and %d (in that order) with year, month and day, in decimal
// without leading zeros; everything else of the format is copied.
std::string FormatDate(const DateTime& value, std::string_view format);

// The link with & < > " ' turned into XML entities and CR into "&#13;",
// scanning by characters; every other byte is kept.
std::string EscapeLink(std::string_view link);

// Header, one filled entry per link (date first, then the escaped link), then
// the closing tag. Identical to filling the template with ReplaceAll per link.
std::string BuildSitemapText(const std::vector<std::string>& links, std::string_view date_text);

// The system clock's current local date and time.
DateTime CurrentDateTime();

// Reads the box, splits it, dates it once with `now` and returns the UTF-8
// document; empty when the box cannot be read or the document not converted,
// which includes a character that XML 1.0 cannot hold.
std::string BuildSitemapDocument(const ReadContentFn& read_content,
                                 const std::function<DateTime()>& now = CurrentDateTime);

}  // namespace lirrevo
