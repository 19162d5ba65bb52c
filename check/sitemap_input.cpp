#include "check/sitemap_input.h"

#include <curl/curl.h>
#include <expat.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>
#include <vector>

#include "core/document/ascii.h"
#include "core/document/part_names.h"
#include "core/document/sitemap_document.h"
#include "core/files/block_input.h"
#include "core/files/gzip_stream.h"

namespace lirrevo::check {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

std::string NameOf(const std::string& source) {
  return source == "-" ? "standard input" : "'" + source + "'";
}

// The element's name without its namespace prefix.
std::string_view LocalName(const XML_Char* name) {
  const std::string_view whole(name);
  return whole.substr(whole.rfind(':') + 1);  // all of it where there is no ':' (npos + 1 is 0)
}

// The errors of a document cut short.
bool EndsEarly(XML_Error code) {
  return code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN ||
         code == XML_ERROR_PARTIAL_CHAR || code == XML_ERROR_UNCLOSED_CDATA_SECTION;
}

// One sitemap's bytes, uncompressed where they are gzip, into expat: the
// root's name and the text of every <loc> two levels below it.
class SitemapParser {
 public:
  // No encoding is forced on expat: the document's declaration or byte
  // order mark says which one it is in, and expat hands on UTF-8.
  explicit SitemapParser(std::string& locs) : locs_(locs), parser_(XML_ParserCreate(nullptr)) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, Start, End);
    XML_SetCharacterDataHandler(parser_, Text);
    // An entity left unexpanded would change a loc into another URL: no
    // external DTD or entity is read, and any reference to one fails.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetSkippedEntityHandler(parser_, Skipped);
    XML_SetExternalEntityRefHandler(parser_, External);
    XML_SetExternalEntityRefHandlerArg(parser_, this);
    XML_SetUnknownEncodingHandler(parser_, UnknownEncoding, this);
  }
  ~SitemapParser() { XML_ParserFree(parser_); }
  SitemapParser(const SitemapParser&) = delete;
  SitemapParser& operator=(const SitemapParser&) = delete;

  // False after the error is kept for Error().
  // A fetched sitemap may be gzip: found by its first bytes (a file's is
  // inflated as it is read).
  bool Feed(std::string_view bytes) {
    if (!started_) {
      started_ = true;
      if (bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b') {
        gunzip_ = std::make_unique<Gunzip>();
      }
    }
    return gunzip_ ? Inflate(bytes) : Parse(bytes, false);
  }

  bool Finish() {
    if (gunzip_ && !gunzip_->Whole()) return Failed(gunzip_->Error());
    return Parse({}, true);
  }

  const std::string& Error() const { return error_; }
  bool IsIndex() const { return root_ == "sitemapindex"; }
  bool IsGzip() const { return gzip_; }
  void SetGzip(bool gzip) { gzip_ = gzip; }
  // Whether the root is in the sitemaps.org namespace.
  bool IsStandard() const { return standard_; }

 private:
  bool Inflate(std::string_view bytes) {
    char out[1 << 16];
    // A full buffer may leave output behind, even with no input left.
    for (long made = 1; !bytes.empty() || made == static_cast<long>(sizeof out);) {
      made = gunzip_->Inflate(bytes, out, sizeof out);
      if (made < 0) return Failed(gunzip_->Error());
      if (!Parse(std::string_view(out, static_cast<std::size_t>(made)), false)) return false;
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
    const XML_Error code = XML_GetErrorCode(parser_);
    const std::string line = "line " + std::to_string(XML_GetCurrentLineNumber(parser_));
    if (last && depth_ > 0 && EndsEarly(code)) {
      return Failed("the XML ends early, at " + line + " inside <" + root_ + ">");
    }
    return Failed("not a sitemap: " + line + ": " + XML_ErrorString(code));
  }

  bool Failed(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  // Fails the parse from one of expat's handlers, naming the line.
  void Refuse(const std::string& why) {
    Failed("line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + why);
    XML_StopParser(parser_, XML_FALSE);
  }

  static void Start(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto& self = *static_cast<SitemapParser*>(user);
    if (self.depth_ == 0) {
      self.root_ = LocalName(name);
      for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
        self.standard_ = self.standard_ || (std::string_view(a[0]) == "xmlns" &&
                                            std::string_view(a[1]) == SitemapNamespace);
      }
    }
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

  static void Skipped(void* user, const XML_Char* name, int is_parameter_entity) {
    static_cast<SitemapParser*>(user)->Refuse(std::string("the entity '") +
                                              (is_parameter_entity ? "%" : "&") + name +
                                              ";' has no declaration that is read");
  }

  // The first argument is the one set with XML_SetExternalEntityRefHandlerArg.
  static int External(XML_Parser user, const XML_Char*, const XML_Char*, const XML_Char* system_id,
                      const XML_Char*) {
    reinterpret_cast<SitemapParser*>(user)->Refuse(std::string("the external entity '") +
                                                   (system_id ? system_id : "") + "' is not read");
    return XML_STATUS_ERROR;
  }

  static int UnknownEncoding(void* user, const XML_Char* name, XML_Encoding*) {
    static_cast<SitemapParser*>(user)->Failed(std::string("encoding '") + name +
                                              "' is not supported");
    return XML_STATUS_ERROR;
  }

  void TakeLoc() {
    const std::string_view loc = Trimmed(loc_, " \t\r\n");
    if (loc.empty()) return;
    const auto at = static_cast<std::ptrdiff_t>(locs_.size());
    locs_ += loc;
    std::replace_if(
        locs_.begin() + at, locs_.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    locs_ += '\n';
  }

  std::string& locs_;
  XML_Parser parser_;
  bool started_ = false;
  std::unique_ptr<Gunzip> gunzip_;
  bool gzip_ = false;  // the file read was gzip
  bool standard_ = false;
  std::size_t size_ = 0;
  int depth_ = 0;
  bool in_loc_ = false;
  std::string root_;
  std::string loc_;
  std::string error_;
};

struct Transfer {
  CURL* easy;
  SitemapParser& parser;
};

std::size_t ToParser(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  long status = 0;
  curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
  // Another answer's body is no sitemap: the status alone tells what went wrong.
  if (status != 200) return 0;
  return transfer.parser.Feed(std::string_view(data, size * count)) ? size * count : 0;
}

// Fetches the URL into the parser: a 200 after at most five redirects. Why
// it could not be read whole, or nothing.
std::optional<std::string> Fetch(const std::string& source, const CheckSettings& settings,
                                 SitemapParser& parser) {
  const std::optional<Target> target = TargetOf(source);
  if (!target) return "not an http or https URL";
  const std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) return "libcurl could not start";
  Transfer transfer{easy.get(), parser};
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(easy.get(), CURLOPT_URL, target->url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, settings.timeout_ms);
  curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, settings.user_agent.c_str());
  if (settings.cacert) curl_easy_setopt(easy.get(), CURLOPT_CAINFO, settings.cacert->c_str());
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, ToParser);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, error);
  const CURLcode result = curl_easy_perform(easy.get());
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_WRITE_ERROR && !parser.Error().empty()) return parser.Error();
  if ((result == CURLE_OK || result == CURLE_WRITE_ERROR) && status != 200) {
    return "the server answered " + std::to_string(status);
  }
  if (result != CURLE_OK) return error[0] != '\0' ? error : curl_easy_strerror(result);
  if (!parser.Finish()) return parser.Error();
  return std::nullopt;
}

// Reads the file (or standard input) into the parser. Why it could not be
// read whole, or nothing.
std::optional<std::string> ReadFile(const std::string& source, SitemapParser& parser) {
  BlockInput input;
  if (!input.Open(source)) return input.Error();
  parser.SetGzip(input.IsGzip());
  std::vector<char> block(kBlock);
  for (long got; (got = input.Read(block.data(), block.size())) != 0;) {
    if (got < 0) return input.Error();
    if (!parser.Feed(std::string_view(block.data(), static_cast<std::size_t>(got)))) {
      return parser.Error();
    }
  }
  if (!parser.Finish()) return parser.Error();
  return std::nullopt;
}

// Adds the locs of one of an index's sitemaps; why it could not, or nothing.
std::optional<std::string> ReadListed(const std::string& sitemap, const CheckSettings& settings,
                                      std::string& locs) {
  // A file is never read for an index, which may come from anywhere: Fetch
  // takes http and https URLs only.
  std::string found;
  SitemapParser parser(found);
  if (std::optional<std::string> why = Fetch(sitemap, settings, parser)) return why;
  if (parser.IsIndex()) return "an index inside an index is not followed";
  locs += found;
  return std::nullopt;
}

// The folder URL of an index's loc and the file name it ends in, decoded;
// nothing where the loc has a query or fragment or no name.
std::optional<std::pair<std::string, std::string>> FolderAndName(const std::string& loc) {
  const std::size_t slash = loc.rfind('/');
  if (slash == std::string::npos || slash + 1 == loc.size() ||
      loc.find_first_of("?#") != std::string::npos) {
    return std::nullopt;
  }
  return std::pair(loc.substr(0, slash + 1), Unescaped(std::string_view(loc).substr(slash + 1)));
}

// Reads the parts an index lists, from the files beside it: each loc must
// name, in one folder, the part --split would write in its place.
bool ReadParts(const std::string& path, const std::string& listed, DeadLinkFile& file,
               std::string& error) {
  const auto fail = [&](const std::string& why) {
    error = "cannot read the parts of '" + path + "': " + why;
    return false;
  };
  for (std::size_t start = 0; start < listed.size(); start = listed.find('\n', start) + 1) {
    const std::string loc = listed.substr(start, listed.find('\n', start) - start);
    const std::string part = PartFileName(path, ++file.parts, file.gzip);
    const auto folder_and_name = FolderAndName(loc);
    if (!folder_and_name || folder_and_name->second != BaseName(part) ||
        folder_and_name->first != file.index_url.value_or(folder_and_name->first)) {
      return fail("it lists '" + loc + "' where the part '" + BaseName(part) +
                  "' in the folder of the first was expected");
    }
    file.index_url = folder_and_name->first;
    const std::size_t before = file.locs.size();
    SitemapParser parser(file.locs);
    if (const std::optional<std::string> why = ReadFile(part, parser)) {
      return fail("'" + part + "': " + *why);
    }
    if (parser.IsIndex()) return fail("'" + part + "' is an index");
    if (file.parts == 1) {
      file.first_part_urls = static_cast<std::size_t>(std::count(
          file.locs.begin() + static_cast<std::ptrdiff_t>(before), file.locs.end(), '\n'));
    }
  }
  return true;
}

}  // namespace

std::optional<DeadLinkFile> ReadDeadLinkFile(const std::string& path, std::string& error) {
  DeadLinkFile file;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    file.exists = false;
    return file;
  }
  std::string listed;
  SitemapParser parser(listed);
  if (const std::optional<std::string> why = ReadFile(path, parser)) {
    error = "cannot read '" + path + "': " + *why;
    return std::nullopt;
  }
  file.gzip = parser.IsGzip();
  file.standard = parser.IsStandard();
  if (!parser.IsIndex()) {
    file.locs = std::move(listed);
  } else if (!ReadParts(path, listed, file, error)) {
    return std::nullopt;
  }
  return file;
}

std::optional<SitemapLocs> ReadSitemapLocs(const std::string& source, const CheckSettings& settings,
                                           std::string& error) {
  SitemapLocs read;
  SitemapParser parser(read.locs);
  const std::optional<std::string> why =
      NamesHttp(source) ? Fetch(source, settings, parser) : ReadFile(source, parser);
  if (why) {
    error = (NamesHttp(source) ? "cannot fetch " : "cannot read ") + NameOf(source) + ": " + *why;
    return std::nullopt;
  }
  if (!parser.IsIndex()) return read;
  const std::string sitemaps = std::move(read.locs);
  read.locs.clear();
  std::size_t count = 0;
  for (std::size_t start = 0; start < sitemaps.size(); start = sitemaps.find('\n', start) + 1) {
    const std::string sitemap = sitemaps.substr(start, sitemaps.find('\n', start) - start);
    if (++count > kMaxSitemaps) {
      error = NameOf(source) + " lists more than 50,000 sitemaps";
      return std::nullopt;
    }
    if (const std::optional<std::string> why = ReadListed(sitemap, settings, read.locs)) {
      read.skipped.push_back("skipped sitemap '" + sitemap + "': " + *why);
    }
  }
  return read;
}

}  // namespace lirrevo::check
