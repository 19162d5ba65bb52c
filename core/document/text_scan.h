// The one loop of the core's byte scans: sixteen bytes at a time where the
// processor has SSE2 (the page maps it onto WebAssembly SIMD), then byte by
// byte. Each function gives the offset of the first byte at or after `from`
// that it looks for, or text.size() when there is none.
#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lirrevo {
namespace text_scan_detail {

#if defined(__SSE2__)
using Block = __m128i;

inline Block Equal(Block bytes, char byte) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte)); }
#endif

// What a scan looks for: Is(byte), and InBlock(bytes) marking those of sixteen.
template <typename Wanted>
std::size_t Find(std::string_view text, std::size_t from, const Wanted& wanted) {
#if defined(__SSE2__)
  for (; from + 16 <= text.size(); from += 16) {
    const Block bytes = _mm_loadu_si128(reinterpret_cast<const Block*>(text.data() + from));
    if (const auto found = static_cast<unsigned>(_mm_movemask_epi8(wanted.InBlock(bytes)))) {
      return from + static_cast<std::size_t>(std::countr_zero(found));
    }
  }
#endif
  while (from < text.size() && !wanted.Is(text[from])) ++from;
  return from;
}

template <char... kBytes>
struct AnyOf {
  static bool Is(char c) { return ((c == kBytes) || ...); }
#if defined(__SSE2__)
  static Block InBlock(Block bytes) {
    Block found = _mm_setzero_si128();
    ((found = _mm_or_si128(found, Equal(bytes, kBytes))), ...);
    return found;
  }
#endif
};

struct OneByte {
  char byte;
  bool Is(char c) const { return c == byte; }
#if defined(__SSE2__)
  Block InBlock(Block bytes) const { return Equal(bytes, byte); }
#endif
};

// A control byte (tab among them) or a byte at or above 0x80: as a signed
// byte, exactly those below 0x20.
struct NotPrintableAscii {
  static bool Is(char c) { return static_cast<signed char>(c) < 0x20; }
#if defined(__SSE2__)
  static Block InBlock(Block bytes) { return _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)); }
#endif
};

}  // namespace text_scan_detail

// The first of the few bytes kBytes.
template <char... kBytes>
std::size_t FindAnyOf(std::string_view text, std::size_t from) {
  return text_scan_detail::Find(text, from, text_scan_detail::AnyOf<kBytes...>{});
}

// The first byte that is `byte`.
inline std::size_t FindByte(std::string_view text, std::size_t from, char byte) {
  return text_scan_detail::Find(text, from, text_scan_detail::OneByte{byte});
}

// The first byte that is no printable ASCII: a control byte, tab among them,
// or a byte at or above 0x80.
inline std::size_t FindNotPrintableAscii(std::string_view text, std::size_t from) {
  return text_scan_detail::Find(text, from, text_scan_detail::NotPrintableAscii{});
}

// The last byte that is `byte`, found from the end; text.size() when there
// is none.
inline std::size_t FindLastByte(std::string_view text, char byte) {
  std::size_t end = text.size();
#if defined(__SSE2__)
  for (; end >= 16; end -= 16) {
    const auto block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + end - 16));
    if (const auto found =
            static_cast<unsigned>(_mm_movemask_epi8(text_scan_detail::Equal(block, byte)))) {
      return end - 16 + static_cast<std::size_t>(std::bit_width(found)) - 1;
    }
  }
#endif
  while (end > 0) {
    if (text[--end] == byte) return end;
  }
  return text.size();
}

}  // namespace lirrevo
