// The page's entry into the core. The box's text arrives as UTF-8 and takes
// the streaming core's UTF-8 route, which needs no converter (the browser's C
// library has no GB18030 encoder); the documents leave in chunks of a few MB,
// each copied out to the page as it is made. A dropped file's byte-order mark
// and lines are read here, its bytes turned into text by the browser's decoders.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
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

// Hands each part on to the page as a list of chunks; a measure keeps nothing
// and takes only the builder's result.
class PageSink : public lirrevo::PartSink {
 public:
  explicit PageSink(bool keep) : keep_(keep) {}
  bool BeginPart(std::size_t) override {
    if (keep_) BeginPagePart();
    return true;
  }
  bool Write(std::string_view chunk) override {
    if (keep_) TakeChunk(chunk.data(), chunk.size());
    return true;
  }
  bool EndPart() override { return true; }

 private:
  const bool keep_;
};

// The documents of checked UTF-8 text whose lines end in LF (or CR LF), dated
// year-month-day: the one document, or with split the parts cut at the search
// engines' limits, as lirrevo-cli --split cuts them.
lirrevo::UrlsetResult StreamDocuments(std::string_view text, int year, int month, int day,
                                      bool split, bool keep) {
  lirrevo::UrlsetOptions options;
  if (split) {
    options.max_urls = lirrevo::kEngineMaxUrls;
    options.max_bytes = lirrevo::kEngineMaxBytes;
  }
  PageSink sink(keep);
  return lirrevo::StreamUrlset(text, lirrevo::LineBreaks::kAny, lirrevo::DateTime{year, month, day},
                               options, sink);
}

}  // namespace

extern "C" {

// Builds the documents of the UTF-8 text (StreamDocuments) into
// Module.lirrevoParts. Returns the number of parts handed on, 0 when the text
// holds a line the document cannot hold: then nothing was handed on.
EMSCRIPTEN_KEEPALIVE int LirrevoStreamDocument(const char* utf8, std::size_t size, int year,
                                               int month, int day, int split) {
  const std::string_view text(utf8, size);
  if (!lirrevo::DecodeUtf8List(text).Ok()) return 0;
  const lirrevo::UrlsetResult result = StreamDocuments(text, year, month, day, split, true);
  return result.ok ? static_cast<int>(result.parts) : 0;
}

// Measures the documents that LirrevoStreamDocument would build, keeping no
// byte of them, as the window does before it writes: where they pass the
// search engines' limits and would be cut into more than one part, the
// question asked first (PartsQuestion, for the name chosen: UTF-8, name_size
// bytes); "" where one file is written without asking; null when the text
// holds a line the document cannot hold. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoSplitQuestion(const char* utf8, std::size_t size, int year,
                                                      int month, int day, const char* name,
                                                      std::size_t name_size) {
  const std::string_view text(utf8, size);
  if (!lirrevo::DecodeUtf8List(text).Ok()) return nullptr;
  const std::size_t parts = StreamDocuments(text, year, month, day, true, false).parts;
  if (parts <= 1) return "";
  const lirrevo::UrlsetResult whole = StreamDocuments(text, year, month, day, false, false);
  static std::string question;
  question =
      lirrevo::PartsQuestion(whole.urls, whole.most_bytes, parts, std::string(name, name_size));
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
// default: the encoding that its byte-order mark picks, UTF-8 without one,
// by the browser's name for it ("utf-8", "utf-16le", "utf-16be"); and the
// size of that mark.
EMSCRIPTEN_KEEPALIVE const char* LirrevoListEncoding(const char* bytes, std::size_t size) {
  std::string_view list(bytes, size);
  switch (lirrevo::TakeByteOrderMark(list, lirrevo::ListEncoding::kUtf8)) {
    case lirrevo::ListEncoding::kUtf16Le:
      return "utf-16le";
    case lirrevo::ListEncoding::kUtf16Be:
      return "utf-16be";
    default:
      return "utf-8";
  }
}

EMSCRIPTEN_KEEPALIVE std::size_t LirrevoByteOrderMarkSize(const char* bytes, std::size_t size) {
  std::string_view list(bytes, size);
  lirrevo::TakeByteOrderMark(list, lirrevo::ListEncoding::kUtf8);
  return size - list.size();
}

// 1 when every line of the UTF-8 list can stand in the document, as
// lirrevo-cli checks a list file; else 0.
EMSCRIPTEN_KEEPALIVE int LirrevoCheckList(const char* utf8, std::size_t size) {
  return lirrevo::DecodeUtf8List(std::string_view(utf8, size)).Ok() ? 1 : 0;
}

}  // extern "C"
