// The whole document: links split from GBK text, built with escaping and
// encoded to UTF-8, then read back with an XML parser. When every link
// converts, the document converts; when no link holds a control character it
// is well-formed, with one url per link whose loc gives the link back. A NUL
// byte in a link makes the whole document fail rather than cutting it short.
#include <expat.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/link_list.h"
#include "core/output_encoding.h"
#include "core/sitemap_document.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::fuzz::Require;

struct Url {
  std::string loc, lastmod, changefreq, priority;
};

// What the parser saw: the url entries under urlset, with their texts.
struct ParsedDocument {
  bool well_formed = false;
  bool shape_ok = true;  // urlset > url > loc, lastmod, changefreq, priority; nothing else
  std::vector<Url> urls;
  std::vector<std::string> open;  // element names from the root down
  std::string* text = nullptr;    // where character data goes, if anywhere
};

std::string* FieldFor(Url& url, const std::string& name) {
  if (name == "loc") return &url.loc;
  if (name == "lastmod") return &url.lastmod;
  if (name == "changefreq") return &url.changefreq;
  if (name == "priority") return &url.priority;
  return nullptr;
}

void OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
  auto& doc = *static_cast<ParsedDocument*>(user);
  const std::string element = name;
  const std::size_t depth = doc.open.size();
  doc.text = nullptr;
  if (attributes[0] != nullptr) doc.shape_ok = false;
  if (depth == 0) {
    doc.shape_ok = doc.shape_ok && element == "urlset";
  } else if (depth == 1) {
    doc.shape_ok = doc.shape_ok && element == "url";
    doc.urls.emplace_back();
  } else if (depth == 2) {
    doc.text = FieldFor(doc.urls.back(), element);
    doc.shape_ok = doc.shape_ok && doc.text != nullptr;
  } else {
    doc.shape_ok = false;
  }
  doc.open.push_back(element);
}

void OnEnd(void* user, const XML_Char*) {
  auto& doc = *static_cast<ParsedDocument*>(user);
  doc.open.pop_back();
  doc.text = nullptr;
}

void OnText(void* user, const XML_Char* s, int length) {
  auto& doc = *static_cast<ParsedDocument*>(user);
  if (doc.text) doc.text->append(s, static_cast<std::size_t>(length));
}

ParsedDocument Parse(const std::string& utf8) {
  ParsedDocument doc;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &doc);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  doc.well_formed =
      XML_Parse(parser, utf8.data(), static_cast<int>(utf8.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return doc;
}

bool HasControlCharacter(const std::string& link) {
  for (const char c : link) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  lirrevo::DateTime date;
  date.year = provider.ConsumeIntegralInRange(1, 9999);
  date.month = provider.ConsumeIntegralInRange(1, 12);
  date.day = provider.ConsumeIntegralInRange(1, 31);
  const std::string date_text = lirrevo::FormatDate(date, lirrevo::LastmodDateFormat);
  const std::vector<std::string> links =
      lirrevo::SplitLinks(provider.ConsumeRemainingBytesAsString());

  std::vector<std::string> expected_locs;
  bool plain = true;
  for (const std::string& link : links) {
    const std::optional<std::string> utf8 = lirrevo::GbkToUtf8(link);
    if (!utf8 || link.find('\0') != std::string::npos) break;
    expected_locs.push_back(*utf8);
    plain = plain && !HasControlCharacter(link);
  }
  const bool all_convert = expected_locs.size() == links.size();
  const std::string document = lirrevo::EncodeDocument(lirrevo::BuildSitemapText(links, date_text));
  Require(document.empty() != all_convert,
          "the document converts exactly when every link does and none holds a NUL");
  if (!all_convert) return 0;

  const ParsedDocument parsed = Parse(document);
  if (!plain && !parsed.well_formed) return 0;  // XML 1.0 forbids most control characters
  Require(parsed.well_formed, "the document is well-formed XML");
  Require(parsed.shape_ok, "urlset holds url entries of loc, lastmod, changefreq, priority");
  Require(parsed.urls.size() == links.size(), "one url per link");
  if (!plain) return 0;  // the parser folds a lone CR into LF
  for (std::size_t i = 0; i < links.size(); ++i) {
    const Url& url = parsed.urls[i];
    Require(url.loc == expected_locs[i], "loc gives the link back");
    Require(url.lastmod == date_text, "lastmod is the date");
    Require(url.changefreq == "always" && url.priority == "1.0", "fixed changefreq and priority");
  }
  return 0;
}
