// The page's entry into the core. The box's text arrives as UTF-8 and takes
// the streaming core's UTF-8 route, which needs no converter (the browser's C
// library has no GB18030 encoder); the documents leave in chunks of a few MB,
// each copied out to the page as it is made. A dropped file's byte-order mark
// and lines are read here, its bytes turned into text by the browser's decoders.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/document/link_list.h"
#include "core/document/list_input.h"
#include "core/document/part_names.h"
#include "core/document/sitemap_document.h"

namespace {

// Starts a new part in Module.lirrevoParts, which the page empties before
// each run.
EM_JS(void, BeginPagePart, (), { Module.lirrevoParts.push([]); });

// Appends a copy of the chunk to the part begun last.
EM_JS(void, TakeChunk, (const char* data, std::size_t size), {
  Module.lirrevoParts[Module.lirrevoParts.length - 1].push(HEAPU8.slice(data, data + size));
});

// Hands each part on to the page as a list of chunks.
class PageSink : public lirrevo::PartSink {
 public:
  bool BeginPart(std::size_t) override {
    BeginPagePart();
    return true;
  }
  bool Write(std::string_view chunk) override {
    TakeChunk(chunk.data(), chunk.size());
    return true;
  }
  bool EndPart() override { return true; }
};

}  // namespace

extern "C" {

// Builds the documents of the UTF-8 text, checked by LirrevoSplitQuestion,
// dated year-month-day, into Module.lirrevoParts: the one document, or with
// split the parts cut at the search engines' limits, as lirrevo-cli --split
// cuts them. Returns the number of parts handed on.
EMSCRIPTEN_KEEPALIVE int LirrevoStreamDocument(const char* utf8, std::size_t size, int year,
                                               int month, int day, int split) {
  PageSink sink;
  const lirrevo::UrlsetResult result = lirrevo::BuildSitemapDocument(
      std::string_view(utf8, size), lirrevo::LineBreaks::kAny, lirrevo::DateTime{year, month, day},
      split != 0 ? lirrevo::EngineLimits() : lirrevo::UrlsetOptions{}, sink);
  return result.ok ? static_cast<int>(result.parts) : 0;
}

// Checks the text and measures the documents that LirrevoStreamDocument
// would build in one pass, keeping no byte of them, as the window does
// before it writes: where they pass the search engines' limits and would be
// cut into more than one part, the question asked first (PartsQuestion, for
// the name chosen: UTF-8, name_size bytes); "" where one file is written
// without asking; null when the text holds a line the document cannot hold.
// Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoSplitQuestion(const char* utf8, std::size_t size, int year,
                                                      int month, int day, const char* name,
                                                      std::size_t name_size) {
  const std::optional<lirrevo::UrlsetResult> parts =
      lirrevo::CheckBoxUtf8(std::string_view(utf8, size), lirrevo::LineBreaks::kAny,
                            lirrevo::DateTime{year, month, day}, lirrevo::EngineLimits());
  if (!parts) return nullptr;
  if (parts->parts <= 1) return "";
  static std::string question;
  question = lirrevo::PartsQuestion(parts->urls, parts->whole_bytes, parts->parts,
                                    std::string(name, name_size));
  return question.c_str();
}

// The count caption (FormatLinkCount, in GBK) for a box of line_breaks line
// breaks, with or without text after the last; valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoCountCaption(std::size_t line_breaks,
                                                     int text_after_last_break) {
  static std::string caption;
  caption = lirrevo::FormatLinkCount(
      lirrevo::LinkCountOf(static_cast<std::int64_t>(line_breaks), text_after_last_break != 0));
  return caption.c_str();
}

// The name of part `number` beside the name chosen (PartFileName); valid
// until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoPartName(const char* name, std::size_t size,
                                                 std::size_t number) {
  static std::string part;
  part = lirrevo::PartFileName(std::string(name, size), number);
  return part.c_str();
}

// How a dropped file's bytes are read, as lirrevo-cli reads a list file by
// default: the size of its byte-order mark, one digit, then the encoding that
// the mark picks, UTF-8 without one, by the browser's name for it ("0utf-8",
// "3utf-8", "2utf-16le", "2utf-16be"); valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoListEncoding(const char* bytes, std::size_t size) {
  std::string_view list(bytes, size);
  const lirrevo::ListEncoding encoding =
      lirrevo::TakeByteOrderMark(list, lirrevo::ListEncoding::kUtf8);
  static std::string answer;
  answer = std::to_string(size - list.size()) +
           (encoding == lirrevo::ListEncoding::kUtf16Le   ? "utf-16le"
            : encoding == lirrevo::ListEncoding::kUtf16Be ? "utf-16be"
                                                          : "utf-8");
  return answer.c_str();
}

// 1 when every line of the UTF-8 list can stand in the document, as
// lirrevo-cli checks a list file; else 0.
EMSCRIPTEN_KEEPALIVE int LirrevoCheckList(const char* utf8, std::size_t size) {
  return lirrevo::DecodeUtf8List(std::string_view(utf8, size)).Ok() ? 1 : 0;
}

}  // extern "C"
