#include "core/link_list.h"

#include <cstring>

namespace lirrevo {
namespace {

// True when any of the eight bytes is CR or 0x80 or above: only such bytes
// can end a line or change how the scan steps.
bool NeedsCloserLook(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const std::uint64_t x = w ^ (kOnes * '\r');
  const std::uint64_t has_cr = (x - kOnes) & ~x & kHighs;
  return ((w & kHighs) | has_cr) != 0;
}

// Calls piece(begin, length) for each link of text, in order. The scan moves
// one character at a time, a byte above 0x80 taking the next byte along, so a
// CR LF is a separator only where a character begins. 0x80 is a character of
// its own, the euro sign, as the converter reads it: a line may end with it.
template <typename Piece>
void ForEachLink(std::string_view text, Piece&& piece) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = 0;
  std::size_t start = 0;
  while (pos + 1 < n) {
    while (pos + 8 <= n) {
      std::uint64_t w;
      std::memcpy(&w, p + pos, sizeof w);
      if (NeedsCloserLook(w)) break;
      pos += 8;
    }
    if (pos + 1 >= n) break;
    const unsigned char c = p[pos];
    if (c == '\r' && p[pos + 1] == '\n') {
      piece(start, pos - start);
      pos += 2;
      start = pos;
    } else {
      pos += c > 0x80 ? 2 : 1;
    }
  }
  // A trailing line break leaves nothing here and adds no element.
  if (start < n) piece(start, n - start);
}

}  // namespace

std::vector<std::string> SplitLinks(std::string_view text) {
  std::vector<std::string> links;
  ForEachLink(text, [&](std::size_t begin, std::size_t length) {
    links.emplace_back(text.substr(begin, length));
  });
  return links;
}

std::int32_t CountLinks(std::string_view text) {
  std::int32_t count = 0;
  ForEachLink(text, [&](std::size_t, std::size_t) { ++count; });
  return count;
}

std::string FormatLinkCount(std::int32_t count) {
  std::string caption(CountCaptionPrefix);
  caption += std::to_string(count);
  caption += CountCaptionSuffix;
  return caption;
}

void UpdateLinkCount(const std::function<std::string()>& read_content,
                     const std::function<void(const std::string&)>& set_caption) {
  set_caption(FormatLinkCount(CountLinks(read_content())));
}

}  // namespace lirrevo
