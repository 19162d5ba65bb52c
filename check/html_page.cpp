#include "check/html_page.h"

#include <libxml/HTMLparser.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "core/document/output_encoding.h"

namespace lirrevo::check {
namespace {

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto [code, length] = CodePoint(text, at);
    if (length == 1 && code >= 0x80) return false;
    at += length;
  }
  return true;
}

bool IsHidden(std::string_view tag) {
  return tag == "script" || tag == "style" || tag == "noscript" || tag == "template";
}

// What the parser's callbacks share, through the parser's _private.
struct Reading {
  const std::function<void(std::string_view, HtmlAttributes)>& element;
  const std::function<void(std::string_view)>& text;
  std::string run = {};  // text since the last tag; the parser hands it on in pieces
  int hidden = 0;        // open elements whose text is not shown

  void EndRun() {
    if (!run.empty() && hidden == 0) text(run);
    run.clear();
  }
};

Reading& ReadingOf(void* context) {
  return *static_cast<Reading*>(static_cast<htmlParserCtxtPtr>(context)->_private);
}

void Start(void* context, const xmlChar* name, const xmlChar** attributes) {
  Reading& reading = ReadingOf(context);
  reading.EndRun();
  const auto* tag = reinterpret_cast<const char*>(name);
  static constexpr const char* kNone[] = {nullptr};
  reading.element(tag,
                  attributes != nullptr ? reinterpret_cast<HtmlAttributes>(attributes) : kNone);
  if (IsHidden(tag)) ++reading.hidden;
}

void End(void* context, const xmlChar* name) {
  Reading& reading = ReadingOf(context);
  reading.EndRun();
  if (IsHidden(reinterpret_cast<const char*>(name)) && reading.hidden > 0) --reading.hidden;
}

void Characters(void* context, const xmlChar* characters, int length) {
  ReadingOf(context).run.append(reinterpret_cast<const char*>(characters),
                                static_cast<std::size_t>(length));
}

}  // namespace

std::pair<char32_t, std::size_t> CodePoint(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (length == 1 || lead < 0xC2 || lead > 0xF4 || at + length > text.size()) return {lead, 1};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {lead, 1};
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  return {code, length};
}

const char* AttributeOf(HtmlAttributes attributes, std::string_view name) {
  for (; *attributes != nullptr; attributes += 2) {
    if (name == attributes[0]) return attributes[1];
  }
  return nullptr;
}

void ReadHtml(std::string_view html,
              const std::function<void(std::string_view, HtmlAttributes)>& element,
              const std::function<void(std::string_view)>& text) {
  // A tag that the end of the bytes cuts (a page cut at its bound) is no tag,
  // as in a browser: its half of a link would be a link to no page.
  if (const std::size_t open = html.rfind('<');
      open != std::string_view::npos && html.find('>', open) == std::string_view::npos) {
    html = html.substr(0, open);
  }
  const std::string latin1 =
      IsUtf8(html) ? std::string() : ConvertEncoding(html, "ISO-8859-1", "UTF-8").value_or("");
  const std::string_view utf8 = latin1.empty() ? html : latin1;
  htmlParserCtxtPtr parser = htmlNewParserCtxt();
  if (parser == nullptr) return;
  // Only the events are wanted: no tree, no error report.
  std::memset(parser->sax, 0, sizeof *parser->sax);
  parser->sax->startElement = Start;
  parser->sax->endElement = End;
  parser->sax->characters = Characters;
  parser->sax->cdataBlock = nullptr;  // the text of script and style
  Reading reading{element, text};
  parser->_private = &reading;
  const htmlDocPtr document =
      htmlCtxtReadMemory(parser, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                         HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                             HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED);
  reading.EndRun();
  if (document != nullptr) xmlFreeDoc(document);
  htmlFreeParserCtxt(parser);
}

}  // namespace lirrevo::check
