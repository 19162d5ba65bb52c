#include "check/url.h"

#include <idn2.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "core/document/ascii.h"
#include "core/document/list_input.h"

namespace lirrevo::check {
namespace {

// Whether text holds a space or a control character, which a URL as written cannot.
bool HoldsSpaceOrControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; });
}

// host as it is when it is ASCII, else its punycode form ("例子.测试" gives
// "xn--fsqu00a.xn--0zwm56d"); nothing when it is no valid international name.
std::optional<std::string> AsciiHost(const std::string& host) {
  if (std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; })) return host;
  std::uint8_t* ascii = nullptr;
  if (idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(host.c_str()), &ascii,
                     IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL) != IDN2_OK) {
    return std::nullopt;
  }
  std::string result(reinterpret_cast<const char*>(ascii));
  idn2_free(ascii);
  return result;
}

}  // namespace

std::optional<std::string> UrlPart(CURLU* url, CURLUPart what) {
  char* part = nullptr;
  if (curl_url_get(url, what, &part, 0) != CURLUE_OK) return std::nullopt;
  std::string text(part);
  curl_free(part);
  return text;
}

UrlHandle ParsedUrl(const std::string& url, unsigned int flags) {
  UrlHandle parsed(curl_url(), curl_url_cleanup);
  if (parsed && curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), flags) != CURLUE_OK) {
    parsed.reset();
  }
  return parsed;
}

std::optional<std::string> FolderOf(const std::string& url) {
  const UrlHandle parsed = ParsedUrl(url);
  std::optional<std::string> path = parsed ? UrlPart(parsed.get(), CURLUPART_PATH) : std::nullopt;
  if (!path) return std::nullopt;
  path->erase(path->rfind('/') + 1);  // libcurl's path always begins with '/'
  if (curl_url_set(parsed.get(), CURLUPART_PATH, path->c_str(), 0) != CURLUE_OK ||
      curl_url_set(parsed.get(), CURLUPART_QUERY, nullptr, 0) != CURLUE_OK ||
      curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  return UrlPart(parsed.get(), CURLUPART_URL);
}

std::optional<std::string> RedirectTarget(const std::string& url, const std::string& location) {
  const UrlHandle parsed = ParsedUrl(url);
  if (!parsed || location.empty() ||
      curl_url_set(parsed.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE) != CURLUE_OK) {
    return std::nullopt;
  }
  return UrlPart(parsed.get(), CURLUPART_URL);
}

std::string Unescaped(std::string_view text) {
  if (text.empty()) return {};  // libcurl takes a length of 0 for a C string's
  int length = 0;
  char* decoded = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
  if (decoded == nullptr) throw std::bad_alloc();  // only memory can fail
  std::string result(decoded, static_cast<std::size_t>(length));
  curl_free(decoded);
  return result;
}

std::string PathOf(const std::string& url) {
  const UrlHandle parsed = ParsedUrl(url);
  return parsed ? UrlPart(parsed.get(), CURLUPART_PATH).value_or("/") : "/";
}

std::optional<Target> TargetOf(std::string_view link) {
  if (!NamesHttp(link) || HoldsSpaceOrControl(link)) return std::nullopt;
  const UrlHandle parsed = ParsedUrl(std::string(link), CURLU_URLENCODE);
  if (!parsed) return std::nullopt;
  const std::optional<std::string> given = UrlPart(parsed.get(), CURLUPART_HOST);
  std::optional<std::string> host = given ? AsciiHost(*given) : std::nullopt;
  if (!host || host->empty() ||
      (*host != *given &&
       curl_url_set(parsed.get(), CURLUPART_HOST, host->c_str(), 0) != CURLUE_OK)) {
    return std::nullopt;
  }
  std::optional<std::string> url = UrlPart(parsed.get(), CURLUPART_URL);
  if (!url) return std::nullopt;
  return Target{*std::move(url), *std::move(host)};
}

std::optional<std::string> BaseUrlProblem(const std::string& text) {
  if (HoldsSpaceOrControl(text)) return "it holds a space or a control character";
  if (!DecodeUtf8List(text).Ok()) return "it is not UTF-8";
  const UrlHandle url = ParsedUrl(text);
  if (!url) return "it is not an absolute URL";
  const auto has = [&](CURLUPart part) { return !UrlPart(url.get(), part).value_or("").empty(); };
  const std::size_t colon = text.find(':');
  const std::string scheme = text.substr(0, colon);
  if (!EqualNoCase(scheme, "http") && !EqualNoCase(scheme, "https")) {
    return "its scheme is not http or https";
  }
  // libcurl takes "https:/host" and "https:///host" for "https://host".
  if (text.compare(colon, 3, "://") != 0 || text.size() == colon + 3 || text[colon + 3] == '/' ||
      !has(CURLUPART_HOST)) {
    return "it needs \"//\" and a host after \"" + scheme + ":\"";
  }
  if (has(CURLUPART_USER) || has(CURLUPART_PASSWORD)) return "it holds a user name or password";
  const std::optional<std::string> host = UrlPart(url.get(), CURLUPART_HOST);
  if (!host || !AsciiHost(*host)) return "its host is no valid international name";
  if (text.find('?') != std::string::npos) return "it holds a query ('?')";
  if (text.find('#') != std::string::npos) return "it holds a fragment ('#')";
  if (const std::size_t at = text.find_first_of("[]{}|^<>\\`\"", colon + 3);
      at != std::string::npos && !(text[at] == '[' && at == colon + 3)) {
    return std::string("it holds '") + text[at] + "', which a URL cannot hold";
  }
  for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
    if (!HexPairAt(text, at + 1)) {
      return "it holds a '%' that no two hex digits follow";
    }
  }
  return std::nullopt;
}

std::string AsciiBaseUrl(const std::string& text) {
  const UrlHandle url = ParsedUrl(text, CURLU_URLENCODE);
  const std::optional<std::string> given = url ? UrlPart(url.get(), CURLUPART_HOST) : std::nullopt;
  const std::optional<std::string> host = given ? AsciiHost(*given) : std::nullopt;
  if (!host || curl_url_set(url.get(), CURLUPART_HOST, host->c_str(), 0) != CURLUE_OK) return text;
  return UrlPart(url.get(), CURLUPART_URL).value_or(text);
}

std::string UrlInFolder(std::string base, const std::string& name) {
  if (!base.ends_with('/')) base += '/';
  char* escaped = curl_easy_escape(nullptr, name.data(), static_cast<int>(name.size()));
  const UrlHandle url = ParsedUrl(base);
  const bool joined =
      escaped != nullptr && url && curl_url_set(url.get(), CURLUPART_URL, escaped, 0) == CURLUE_OK;
  curl_free(escaped);
  std::optional<std::string> result = joined ? UrlPart(url.get(), CURLUPART_URL) : std::nullopt;
  if (!result) throw std::bad_alloc();  // base was checked as an URL: only memory can fail
  return *std::move(result);
}

bool NamesHttp(std::string_view text) {
  return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

std::optional<std::string> ResolveLink(const std::string& base, std::string_view href) {
  const UrlHandle parsed = ParsedUrl(base);
  return parsed ? ResolveLink(parsed.get(), href) : std::nullopt;
}

std::optional<std::string> ResolveLink(CURLU* base, std::string_view href) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!href.empty() && blank(href.front())) href.remove_prefix(1);
  while (!href.empty() && blank(href.back())) href.remove_suffix(1);
  if (href.empty()) return std::nullopt;
  // Fragments are cut before joining: libcurl 7.88 resolves "#f" to base's folder, and "?q"
  // against "https://h/p#f" to "https://h/p#f?q".
  std::string reference;
  for (const char c : href.substr(0, href.find('#'))) {
    if (c != '\t' && c != '\n' && c != '\r') reference += c;
  }
  const UrlHandle url(curl_url_dup(base), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK ||
      (!reference.empty() &&
       curl_url_set(url.get(), CURLUPART_URL, reference.c_str(), CURLU_URLENCODE) != CURLUE_OK) ||
      curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  std::optional<std::string> link = UrlPart(url.get(), CURLUPART_URL);
  if (!link || !NamesHttp(*link)) return std::nullopt;
  return link;
}

}  // namespace lirrevo::check
