// The page's entry into the core: the box's text arrives as UTF-8 and takes
// the streaming core's UTF-8 route, which needs no converter (the browser's C
// library has no GB18030 encoder); the document leaves in chunks of a few MB,
// each copied out into the page's lists of Blob parts as it is made. A file
// dropped on the box has its byte-order mark found and its lines checked
// here; the browser's own decoders turn its bytes into text.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <string_view>

#include "core/list_input.h"
#include "core/part_names.h"
#include "core/sitemap_document.h"

namespace {

// Starts a new part in Module.lirrevoParts, which the page empties before
// each run.
EM_JS(void, BeginPagePart, (), { Module.lirrevoParts.push([]); });

// Appends a copy of the chunk to the part begun last.
EM_JS(void, TakeChunk, (const char* data, std::size_t size), {
  Module.lirrevoParts[Module.lirrevoParts.length - 1].push(HEAPU8.slice(data, data + size));
});

// What the page asks the user about: the entries written and the bytes of the
// largest part.
EM_JS(void, TellResult, (std::size_t urls, std::size_t most_bytes),
      { Module.lirrevoResult = {urls : urls, mostBytes : most_bytes}; });

class PartsSink : public lirrevo::PartSink {
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

// Builds the document from UTF-8 text whose lines end in LF (or CR LF), dated
// year-month-day; with split, cut into parts at the search engines' limits,
// as lirrevo-cli --split cuts them. Returns the number of parts handed on, 0
// when the text holds a line the document cannot hold: then nothing was
// handed on and the page says "失败".
EMSCRIPTEN_KEEPALIVE int LirrevoStreamDocument(const char* utf8, std::size_t size, int year,
                                               int month, int day, int split) {
  const std::string_view text(utf8, size);
  if (!lirrevo::DecodeUtf8List(text).Ok()) return 0;
  lirrevo::UrlsetOptions options;
  if (split) {
    options.max_urls = lirrevo::kEngineMaxUrls;
    options.max_bytes = lirrevo::kEngineMaxBytes;
  }
  PartsSink sink;
  const lirrevo::UrlsetResult result = lirrevo::StreamUrlset(
      text, lirrevo::LineBreaks::kAny, lirrevo::DateTime{year, month, day}, options, sink);
  if (!result.ok) return 0;
  TellResult(result.urls, result.most_bytes);
  return static_cast<int>(result.parts);
}

// The question asked before parts are written (PartsQuestion), for the name
// chosen (UTF-8, size bytes); valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoPartsQuestion(std::size_t links, std::size_t whole_bytes,
                                                      std::size_t parts, const char* name,
                                                      std::size_t size) {
  static std::string question;
  question = lirrevo::PartsQuestion(links, whole_bytes, parts, std::string(name, size));
  return question.c_str();
}

// The name of part `number` beside the name chosen (PartFileName); valid
// until the next call.
EMSCRIPTEN_KEEPALIVE const char* LirrevoPartName(const char* name, std::size_t size,
                                                 std::size_t number) {
  static std::string part;
  part = lirrevo::PartFileName(std::string(name, size), number);
  return part.c_str();
}

// The most entries and bytes search engines take in one file.
EMSCRIPTEN_KEEPALIVE std::size_t LirrevoEngineMaxUrls() { return lirrevo::kEngineMaxUrls; }
EMSCRIPTEN_KEEPALIVE std::size_t LirrevoEngineMaxBytes() { return lirrevo::kEngineMaxBytes; }

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
