// The whole document, as the window builds it from the box, and the same
// lines cut into parts by the same builder: every document
// reported as a success is well-formed XML 1.0 with one url per line, whose
// loc, parsed, gives the line back. The box's text is drawn two ways: lines
// of characters from the whole Unicode range (with control characters, markup,
// line breaks and the odd private-use character GB18030 lacks) brought to
// GB18030 as the window does; or raw bytes, GBK and GB18030 alike. A document
// fails exactly when a line does not convert or holds a character XML 1.0
// cannot hold.
#include <expat.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/link_list.h"
#include "core/document/output_encoding.h"
#include "core/document/sitemap_document.h"
#include "core/document/xml_characters.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/document_text.h"
#include "tests/support/utf8_of.h"

namespace {

using lirrevo::fuzz::Require;
using lirrevo::test::Utf8Of;

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

// Whether valid UTF-8 holds a character that XML 1.0 cannot hold: a control
// character other than tab, LF and CR, or U+FFFE, U+FFFF.
bool HoldsForbidden(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') return true;
    if (utf8.compare(i, 3, "\xEF\xBF\xBE") == 0 || utf8.compare(i, 3, "\xEF\xBF\xBF") == 0) {
      return true;
    }
  }
  return false;
}

char32_t DrawCharacter(FuzzedDataProvider& provider) {
  static constexpr char32_t kSpecial[] = {'&',      '<',     '>',     '"',    '\'',   ']',
                                          '\t',     '\r',    '\n',    0x80,   0x20AC, 0xFFFD,
                                          0xFFFE,   0xFFFF,  0xE78D,  0xE000, 0xF8FF, 0x10000,
                                          0x10FFFF, 0x20000, 0x1F600, 0xFEFF, 0x2028, 0x85};
  char32_t c = 0;
  switch (provider.ConsumeIntegralInRange(0, 5)) {
    case 0:
      c = provider.ConsumeIntegralInRange<char32_t>(0x20, 0x7E);
      break;
    case 1:
      c = provider.ConsumeIntegralInRange<char32_t>(0, 0x1F);
      break;
    case 2:
      c = provider.ConsumeIntegralInRange<char32_t>(0x4E00, 0x9FFF);
      break;
    case 3:
      c = provider.ConsumeIntegralInRange<char32_t>(0x80, 0xFFFF);
      break;
    case 4:
      c = kSpecial[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kSpecial) - 1)];
      break;
    default:
      c = provider.ConsumeIntegralInRange<char32_t>(0, 0x10FFFF);
      break;
  }
  return c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;  // UTF-8 has no surrogates
}

// Lines of Unicode characters; none holds a CR LF pair, which would end it.
std::vector<std::string> DrawLines(FuzzedDataProvider& provider) {
  std::vector<std::string> lines(1);
  while (provider.remaining_bytes() > 0) {
    if (provider.ConsumeIntegralInRange(0, 15) == 0) {
      lines.emplace_back();
      continue;
    }
    const char32_t c = DrawCharacter(provider);
    if (c == '\n' && lines.back().ends_with('\r')) continue;
    lines.back() += Utf8Of(c);
  }
  return lines;
}

// What the document must say for a box: the box's text, its lines in UTF-8 and
// whether they can all be written; nullopt when the box cannot be read.
struct Box {
  std::string text;
  std::vector<std::string> lines;
  bool writable = true;
};

std::optional<Box> UnicodeBox(FuzzedDataProvider& provider) {
  Box box;
  box.lines = DrawLines(provider);
  std::string utf8;
  for (std::size_t i = 0; i < box.lines.size(); ++i) {
    if (i > 0) utf8 += "\r\n";
    utf8 += box.lines[i];
    box.writable = box.writable && !HoldsForbidden(box.lines[i]);
  }
  // A final line break adds no line.
  if (box.lines.back().empty()) box.lines.pop_back();
  const std::optional<std::string> text = lirrevo::Utf8ToText(utf8);
  if (!text) return std::nullopt;  // the few private-use characters without a code
  box.text = *text;
  return box;
}

Box RawBox(FuzzedDataProvider& provider) {
  Box box;
  box.text = provider.ConsumeRemainingBytesAsString();
  for (const std::string& link : lirrevo::SplitLinks(box.text)) {
    const std::optional<std::string> utf8 = lirrevo::TextToUtf8(link);
    box.writable = box.writable && utf8 && !HoldsForbidden(*utf8);
    box.lines.push_back(utf8.value_or(std::string()));
  }
  return box;
}

// Keeps each part's bytes.
class PartsSink : public lirrevo::PartSink {
 public:
  bool BeginPart(std::size_t) override {
    parts.emplace_back();
    return true;
  }
  bool Write(std::string_view chunk) override {
    parts.back() += chunk;
    return true;
  }
  bool EndPart() override { return true; }
  std::vector<std::string> parts;
};

// The same lines cut into parts of at most max_urls entries, in chunks of a
// few bytes: every part parses, and the parts' locs are the lines in order.
void CheckParts(const std::vector<std::string>& lines, const lirrevo::DateTime& date,
                std::size_t max_urls) {
  PartsSink sink;
  lirrevo::UrlsetOptions options;
  options.max_urls = max_urls;
  options.chunk_bytes = 5;
  lirrevo::DocumentBuilder builder(lirrevo::DocumentKind::kUrlset, date, options, sink);
  for (const std::string& line : lines) builder.Add(line);
  const lirrevo::UrlsetResult result = builder.Finish();
  Require(result.ok && result.parts == sink.parts.size(), "every part is handed on");
  std::size_t next = 0;
  for (const std::string& part : sink.parts) {
    const ParsedDocument parsed = Parse(part);
    Require(parsed.well_formed && parsed.shape_ok, "every part is a well-formed urlset");
    Require(parsed.urls.size() <= max_urls && (!parsed.urls.empty() || lines.empty()),
            "a part holds one to max_urls entries");
    for (const Url& url : parsed.urls) {
      Require(next < lines.size() && url.loc == lines[next++], "the parts hold the lines in order");
    }
  }
  Require(next == lines.size(), "the parts hold every line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  lirrevo::DateTime date;
  date.year = provider.ConsumeIntegralInRange(1, 9999);
  date.month = provider.ConsumeIntegralInRange(1, 12);
  date.day = provider.ConsumeIntegralInRange(1, 31);
  const bool unicode = provider.ConsumeBool();
  const std::size_t max_urls = provider.ConsumeIntegralInRange<std::size_t>(1, 4);
  const std::optional<Box> box = unicode ? UnicodeBox(provider) : RawBox(provider);
  if (!box) return 0;

  const std::string document = lirrevo::test::DocumentOfText(box->text, date);
  Require(document.empty() != box->writable,
          "the document is written exactly when every line converts and XML can hold it");
  if (document.empty()) return 0;

  const std::string date_text = lirrevo::FormatDate(date, lirrevo::LastmodDateFormat);
  const ParsedDocument parsed = Parse(document);
  Require(parsed.well_formed, "the document is well-formed XML");
  Require(parsed.shape_ok, "urlset holds url entries of loc, lastmod, changefreq, priority");
  Require(parsed.urls.size() == box->lines.size(), "one url per line");
  for (std::size_t i = 0; i < box->lines.size(); ++i) {
    const Url& url = parsed.urls[i];
    Require(url.loc == box->lines[i], "loc gives the line back");
    Require(url.lastmod == date_text, "lastmod is the date");
    Require(url.changefreq == "always" && url.priority == "1.0", "fixed changefreq and priority");
  }
  CheckParts(box->lines, date, max_urls);
  return 0;
}
