// The one URL parser: every URL the program is given or makes is parsed,
// joined and checked with libcurl's URL API, and international host names
// turned into their ASCII form with libidn2.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lirrevo::check {

// Whether text begins with "http://" or "https://", in any case.
bool NamesHttp(std::string_view text);

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

// url parsed with libcurl's flags (CURLU_URLENCODE: characters a URL cannot
// hold percent-encoded), or an empty handle where it is no absolute URL.
UrlHandle ParsedUrl(const std::string& url, unsigned int flags = 0);

// One part of a parsed URL, or nothing where it has none.
std::optional<std::string> UrlPart(CURLU* url, CURLUPart what);

// The URL of the folder that holds url, without url's query and fragment:
// https://h/a/b/page.html?q gives https://h/a/b/.
std::optional<std::string> FolderOf(const std::string& url);

// Where a redirect leads: its Location resolved against the URL asked.
std::optional<std::string> RedirectTarget(const std::string& url, const std::string& location);

// The http or https URL that a page's link names: href (as a browser reads
// it: white space and controls around it dropped, tabs and line breaks in it
// removed) resolved against base, without its fragment. Nothing when href is
// blank, names another scheme or is no URL.
std::optional<std::string> ResolveLink(const std::string& base, std::string_view href);
// The same against a base parsed once, for the many links of one page.
std::optional<std::string> ResolveLink(CURLU* base, std::string_view href);

// text with its percent-escapes decoded, into any byte; a '%' that no two
// hex digits follow is kept as it is.
std::string Unescaped(std::string_view text);

// url's path, "/" where it has none.
std::string PathOf(const std::string& url);

// What a link is asked at: its URL and the host name that URL names.
struct Target {
  std::string url;
  std::string host;
};

// The target of a link, or nothing when the link is not an absolute http or
// https URL (empty, another scheme, no host, white space or control
// characters) or its host is no valid international name. Characters outside
// ASCII in the path and query are percent-encoded, in the host turned into
// its ASCII (punycode) form.
std::optional<Target> TargetOf(std::string_view link);

// Why text cannot be the address that links or parts' URLs are made from, or
// nothing: an absolute http or https URL of a host, with an optional port and
// path and nothing else, that a loc can hold as it is (no space or control
// character, UTF-8).
std::optional<std::string> BaseUrlProblem(const std::string& text);

// The base URL as links are made from it: a host beyond ASCII in its
// punycode form, characters beyond ASCII in the path percent-encoded. text
// has passed BaseUrlProblem.
std::string AsciiBaseUrl(const std::string& text);

// The URL of the file name in the folder that base names (a final '/' is
// taken as given): name percent-encoded and resolved against base as a URL.
std::string UrlInFolder(std::string base, const std::string& name);

}  // namespace lirrevo::check
