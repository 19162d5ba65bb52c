// SplitLinks against the properties of the line split: the
// elements joined with CR LF give the text back, no element holds a line
// break, and there is one element per break plus one for a non-empty tail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/link_list.h"
#include "core/document/text_character.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::TextCharacterLength;
using lirrevo::fuzz::Require;

// Offsets of the CR LF pairs that begin a character.
std::vector<std::size_t> LineBreaks(std::string_view text) {
  std::vector<std::size_t> breaks;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos, 2) == "\r\n") {
      breaks.push_back(pos);
      pos += 2;
    } else {
      pos += TextCharacterLength(text, pos);
    }
  }
  return breaks;
}

std::string Join(const std::vector<std::string>& links) {
  std::string joined;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (i > 0) joined += "\r\n";
    joined += links[i];
  }
  return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> links = lirrevo::SplitLinks(text);
  const std::vector<std::size_t> breaks = LineBreaks(text);

  const std::size_t tail = breaks.empty() ? 0 : breaks.back() + 2;
  const bool ends_with_break = !breaks.empty() && tail == text.size();
  Require(links.size() == breaks.size() + (tail < text.size() ? 1 : 0),
          "one element per line break, plus one for a non-empty tail");
  Require(Join(links) + (ends_with_break ? "\r\n" : "") == text,
          "the elements joined with CR LF give the text back");
  for (const std::string& link : links) {
    Require(LineBreaks(link).empty(), "no element holds a line break");
  }
  return 0;
}
