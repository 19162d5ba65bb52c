#include "cli/sitemap_input.h"

#include <curl/curl.h>
#include <expat.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

namespace lirrevo::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

bool IsUrl(const std::string& source) {
  return strncasecmp(source.c_str(), "http://", 7) == 0 ||
         strncasecmp(source.c_str(), "https://", 8) == 0;
}

std::string NameOf(const std::string& source) {
  return source == "-" ? "standard input" : "'" + source + "'";
}

// The element's name without its namespace prefix.
std::string_view LocalName(const XML_Char* name) {
  const std::string_view whole(name);
  const std::size_t colon = whole.rfind(':');
  return colon == std::string_view::npos ? whole : whole.substr(colon + 1);
}

// One sitemap's bytes, uncompressed where they are gzip, into expat: the
// root's name and the text of every <loc> two levels below it.
class SitemapParser {
 public:
  explicit SitemapParser(std::string& locs) : locs_(locs), parser_(XML_ParserCreate("UTF-8")) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, Start, End);
    XML_SetCharacterDataHandler(parser_, Text);
  }
  ~SitemapParser() {
    XML_ParserFree(parser_);
    if (gzip_) inflateEnd(&z_);
  }
  SitemapParser(const SitemapParser&) = delete;
  SitemapParser& operator=(const SitemapParser&) = delete;

  // False after the error is kept for Error().
  bool Feed(std::string_view bytes) {
    if (!started_) {
      started_ = true;
      gzip_ = bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b';
      if (gzip_ && inflateInit2(&z_, 15 + 16) != Z_OK) return Failed("zlib could not start");
    }
    return gzip_ ? Inflate(bytes) : Parse(bytes, false);
  }

  bool Finish() {
    if (gzip_ && !ended_) return Failed("the gzip data ends early");
    return Parse({}, true);
  }

  const std::string& Error() const { return error_; }
  bool IsIndex() const { return root_ == "sitemapindex"; }

 private:
  bool Inflate(std::string_view bytes) {
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z_.avail_in = static_cast<uInt>(bytes.size());
    char out[1 << 16];
    while (z_.avail_in > 0 && !ended_) {
      z_.next_out = reinterpret_cast<Bytef*>(out);
      z_.avail_out = sizeof out;
      const int result = inflate(&z_, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END) return Failed("its gzip data is damaged");
      ended_ = result == Z_STREAM_END;
      if (!Parse(std::string_view(out, sizeof out - z_.avail_out), false)) return false;
    }
    return true;
  }

  bool Parse(std::string_view bytes, bool last) {
    size_ += bytes.size();
    if (size_ > kMaxSitemapBytes) return Failed("it is larger than 100 MiB uncompressed");
    if (XML_Parse(parser_, bytes.data(), static_cast<int>(bytes.size()), last) !=
        XML_STATUS_ERROR) {
      if (!last || root_ == "urlset" || root_ == "sitemapindex") return true;
      return Failed("its root is <" + root_ + ">, not <urlset> or <sitemapindex>");
    }
    return Failed("not a sitemap: line " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
                  ": " + XML_ErrorString(XML_GetErrorCode(parser_)));
  }

  bool Failed(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  static void Start(void* user, const XML_Char* name, const XML_Char**) {
    auto& self = *static_cast<SitemapParser*>(user);
    if (self.depth_ == 0) self.root_ = LocalName(name);
    ++self.depth_;
    self.in_loc_ = self.depth_ == 3 && LocalName(name) == "loc";
    self.loc_.clear();
  }

  static void End(void* user, const XML_Char*) {
    auto& self = *static_cast<SitemapParser*>(user);
    if (self.in_loc_) self.TakeLoc();
    self.in_loc_ = false;
    --self.depth_;
  }

  static void Text(void* user, const XML_Char* text, int length) {
    auto& self = *static_cast<SitemapParser*>(user);
    if (self.in_loc_) self.loc_.append(text, static_cast<std::size_t>(length));
  }

  void TakeLoc() {
    constexpr std::string_view kSpace = " \t\r\n";
    const std::size_t first = loc_.find_first_not_of(kSpace);
    if (first == std::string::npos) return;
    std::string_view loc(loc_);
    loc = loc.substr(first, loc.find_last_not_of(kSpace) + 1 - first);
    const std::size_t at = locs_.size();
    locs_.append(loc);
    for (std::size_t i = at; i < locs_.size(); ++i) {
      if (locs_[i] == '\r' || locs_[i] == '\n') locs_[i] = ' ';
    }
    locs_ += '\n';
  }

  std::string& locs_;
  XML_Parser parser_;
  z_stream z_{};
  bool started_ = false;
  bool gzip_ = false;
  bool ended_ = false;  // the gzip stream's end was read
  std::size_t size_ = 0;
  int depth_ = 0;
  bool in_loc_ = false;
  std::string root_;
  std::string loc_;
  std::string error_;
};

std::size_t ToParser(char* data, std::size_t size, std::size_t count, void* user) {
  auto& parser = *static_cast<SitemapParser*>(user);
  return parser.Feed(std::string_view(data, size * count)) ? size * count : 0;
}

// Fetches the URL into the parser: a 200 after at most five redirects.
bool Fetch(const std::string& source, const CheckSettings& settings, SitemapParser& parser) {
  const std::optional<std::string> url = RequestUrl(source);
  const auto fail = [&](const std::string& why) {
    std::cerr << "lirrevo-cli: cannot fetch " << NameOf(source) << ": " << why << '\n';
    return false;
  };
  if (!url) return fail("not an http or https URL");
  const std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) return fail("libcurl could not start");
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(easy.get(), CURLOPT_URL, url->c_str());
  curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, settings.timeout_ms);
  curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, settings.user_agent.c_str());
  if (settings.cacert) curl_easy_setopt(easy.get(), CURLOPT_CAINFO, settings.cacert->c_str());
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, ToParser);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &parser);
  curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(easy.get());
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_WRITE_ERROR && !parser.Error().empty()) return fail(parser.Error());
  if (result != CURLE_OK) return fail(error[0] != '\0' ? error : curl_easy_strerror(result));
  if (status != 200) return fail("the server answered " + std::to_string(status));
  return parser.Finish() || fail(parser.Error());
}

// Reads the file (or standard input) into the parser.
bool ReadFile(const std::string& source, SitemapParser& parser) {
  const auto fail = [&](const std::string& why) {
    std::cerr << "lirrevo-cli: cannot read " << NameOf(source) << ": " << why << '\n';
    return false;
  };
  const int fd = source == "-" ? 0 : open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  const std::unique_ptr<int, void (*)(int*)> closer(fd == 0 ? nullptr : new int(fd),
                                                    [](int* f) { close(*f), delete f; });
  std::vector<char> block(kBlock);
  for (;;) {
    const ssize_t got = read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail(std::strerror(errno));
    if (got == 0) break;
    if (!parser.Feed(std::string_view(block.data(), static_cast<std::size_t>(got)))) {
      return fail(parser.Error());
    }
  }
  return parser.Finish() || fail(parser.Error());
}

bool ReadOne(const std::string& source, const CheckSettings& settings, SitemapParser& parser) {
  return IsUrl(source) ? Fetch(source, settings, parser) : ReadFile(source, parser);
}

}  // namespace

std::optional<std::string> ReadSitemapLocs(const std::string& source,
                                           const CheckSettings& settings) {
  std::string locs;
  bool index = false;
  {
    SitemapParser parser(locs);
    if (!ReadOne(source, settings, parser)) return std::nullopt;
    index = parser.IsIndex();
  }
  if (!index) return locs;
  const std::string sitemaps = std::move(locs);
  locs.clear();
  std::size_t count = 0;
  for (std::size_t start = 0; start < sitemaps.size(); start = sitemaps.find('\n', start) + 1) {
    const std::string sitemap = sitemaps.substr(start, sitemaps.find('\n', start) - start);
    if (++count > kMaxSitemaps) {
      std::cerr << "lirrevo-cli: " << NameOf(source) << " lists more than 50,000 sitemaps\n";
      return std::nullopt;
    }
    if (!IsUrl(sitemap)) {
      std::cerr << "lirrevo-cli: " << NameOf(source) << " lists '" << sitemap
                << "', which is not an http or https URL\n";
      return std::nullopt;
    }
    std::string found;
    SitemapParser parser(found);
    if (!ReadOne(sitemap, settings, parser)) return std::nullopt;
    if (parser.IsIndex()) {
      std::cerr << "lirrevo-cli: " << NameOf(sitemap)
                << " is an index inside an index: not followed\n";
      return std::nullopt;
    }
    locs += found;
  }
  return locs;
}

}  // namespace lirrevo::cli
