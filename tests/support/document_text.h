// The whole dead-link document of a box's text as one string, built by the
// code under test: where a test wants the document, not the files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/document/output_encoding.h"
#include "core/document/sitemap_document.h"

namespace lirrevo::test {

// The document of the system's text (GB18030, CR LF line breaks) as the
// window builds it, in one string; "" where the text cannot be converted or
// a line cannot stand in the document.
inline std::string DocumentOfText(std::string_view text, const DateTime& date) {
  StringSink sink;
  const std::optional<std::string> utf8 = TextToUtf8(text);
  if (!utf8 || !CheckBoxUtf8(*utf8, LineBreaks::kCrLf, date, UrlsetOptions{})) return {};
  BuildSitemapDocument(*utf8, LineBreaks::kCrLf, date, UrlsetOptions{}, sink);
  return std::move(sink.text);
}

}  // namespace lirrevo::test
