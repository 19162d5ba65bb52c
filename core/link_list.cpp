#include "core/link_list.h"

#include <algorithm>

#include "core/text_character.h"

namespace lirrevo {
namespace link_list_detail {

// Steps by characters, so that a CR taken along as a second byte ends nothing.
std::size_t FindSeparator(std::string_view text, std::size_t from) {
  for (std::size_t pos = from; pos + 1 < text.size(); pos += TextCharacterLength(text, pos)) {
    if (text[pos] == '\r' && text[pos + 1] == '\n') return pos;
  }
  return std::string_view::npos;
}

}  // namespace link_list_detail

std::vector<std::string> SplitLinks(std::string_view text) {
  std::vector<std::string> links;
  links.reserve(static_cast<std::size_t>(CountLinks(text)));
  ForEachLink(text, [&](std::string_view link) { links.emplace_back(link); });
  return links;
}

std::int32_t CountLinks(std::string_view text) {
  std::int64_t breaks = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t cut = link_list_detail::FindSeparator(text, start);
    if (cut == std::string_view::npos) break;
    ++breaks;
    start = cut + 2;
  }
  return LinkCountOf(breaks, start < text.size());
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
  std::string caption(CountCaptionPrefix);
  caption += std::to_string(count);
  caption += CountCaptionSuffix;
  return caption;
}

void UpdateLinkCount(const std::function<std::int32_t()>& count_links,
                     const std::function<void(const std::string&)>& set_caption) {
  set_caption(FormatLinkCount(count_links()));
}

}  // namespace lirrevo
