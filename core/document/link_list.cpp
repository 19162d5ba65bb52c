#include "core/document/link_list.h"

#include <algorithm>

#include "core/document/text_character.h"
#include "core/document/text_scan.h"

namespace lirrevo {
namespace {

// Calls piece(link) for each link of the system's text, cut at every CR LF
// pair that starts a character: a CR is found sixteen bytes at a time, then
// the characters before it are stepped over to see whether one of them
// swallows it.
template <typename Piece>
void ForEachLink(std::string_view text, Piece&& piece) {
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t cr = FindByte(text, pos, '\r');
    while (pos < cr) pos += TextCharacterLength(text, pos);
    if (cr >= text.size()) break;
    if (pos != cr) continue;  // the CR is the second byte of a character
    pos = cr + 1;
    if (pos < text.size() && text[pos] == '\n') {
      piece(text.substr(start, cr - start));
      start = ++pos;
    }
  }
  // A trailing line break leaves nothing here and adds no element.
  if (start < text.size()) piece(text.substr(start));
}

}  // namespace

std::vector<std::string> SplitLinks(std::string_view text) {
  std::vector<std::string> links;
  ForEachLink(text, [&](std::string_view link) { links.emplace_back(link); });
  return links;
}

std::int32_t LinkCountOf(std::int64_t line_breaks, bool text_after_last_break) {
  const std::int64_t count = line_breaks + (text_after_last_break ? 1 : 0);
  return static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX));
}

std::string GroupThousands(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string FormatLinkCount(std::int32_t count) {
  return (std::string(CountCaptionPrefix) + std::to_string(count)).append(CountCaptionSuffix);
}

void UpdateLinkCount(const std::function<std::int32_t()>& count_links,
                     const std::function<void(const std::string&)>& set_caption) {
  set_caption(FormatLinkCount(count_links()));
}

}  // namespace lirrevo
