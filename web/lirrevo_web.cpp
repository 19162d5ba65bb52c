// The page's entry into the core: the box's text arrives as UTF-8, takes the
// core's UTF-8 route into the system's text and leaves as the document's bytes.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <optional>
#include <string>

#include "core/output_encoding.h"
#include "core/sitemap_document.h"

namespace {

// The last document built, kept until the page has copied it out.
std::string document;

}  // namespace

extern "C" {

// Builds the document from UTF-8 text with CR LF line breaks, dated
// year-month-day. Returns the document's first byte and its size, or null
// when the text or the document cannot be converted: the page then says "失败".
EMSCRIPTEN_KEEPALIVE const char* LirrevoBuildDocument(const char* utf8, std::size_t size, int year,
                                                      int month, int day, std::size_t* out_size) {
  document.clear();
  document.shrink_to_fit();
  const lirrevo::DateTime date{year, month, day};
  document = lirrevo::BuildSitemapDocument(
      [&]() { return lirrevo::Utf8ToText(std::string_view(utf8, size)); }, [&] { return date; });
  *out_size = document.size();
  return document.empty() ? nullptr : document.data();
}

// Lets the last document go once the page holds its own copy.
EMSCRIPTEN_KEEPALIVE void LirrevoReleaseDocument() {
  document.clear();
  document.shrink_to_fit();
}

}  // extern "C"
