#include "core/link_list.h"

#include <algorithm>

#include "core/text_character.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lirrevo {
namespace link_list_detail {
namespace {

// Bit i set where block byte i is CR, and where it is a lead byte (above
// 0x80): only such bytes can end a line or change how the scan steps.
struct BlockMarks {
  unsigned cr;
  unsigned high;
};

#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;
BlockMarks MarkBlock(const unsigned char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i cr = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'));
  const __m128i euro = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80)));
  return {static_cast<unsigned>(_mm_movemask_epi8(cr)),
          static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(euro, bytes)))};
}
#else
constexpr std::size_t kBlock = 8;
BlockMarks MarkBlock(const unsigned char* p) {
  BlockMarks marks{0, 0};
  for (std::size_t i = 0; i < kBlock; ++i) {
    marks.cr |= static_cast<unsigned>(p[i] == '\r') << i;
    marks.high |= static_cast<unsigned>(p[i] > 0x80) << i;
  }
  return marks;
}
#endif

}  // namespace

std::size_t FindSeparator(std::string_view text, std::size_t from) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = from;
  while (pos + 1 < n) {
    // A block of single-byte characters: every CR in it starts a character.
    if (pos + kBlock <= n) {
      const BlockMarks marks = MarkBlock(p + pos);
      if (marks.high == 0) {
        for (unsigned cr = marks.cr; cr != 0; cr &= cr - 1) {
          const std::size_t at = pos + static_cast<std::size_t>(__builtin_ctz(cr));
          if (at + 1 < n && p[at + 1] == '\n') return at;
        }
        pos += kBlock;
        continue;
      }
      // Up to the first double-byte character the block is plain too.
      const unsigned plain = marks.high & (0u - marks.high);
      for (unsigned cr = marks.cr & (plain - 1); cr != 0; cr &= cr - 1) {
        const std::size_t at = pos + static_cast<std::size_t>(__builtin_ctz(cr));
        if (p[at + 1] == '\n') return at;
      }
      pos += static_cast<std::size_t>(__builtin_ctz(marks.high)) + 2;
      continue;
    }
    if (p[pos] == '\r' && p[pos + 1] == '\n') return pos;
    pos += TextCharacterLength(text, pos);
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
