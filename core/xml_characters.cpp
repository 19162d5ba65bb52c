#include "core/xml_characters.h"

#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lirrevo {
namespace {

constexpr unsigned char kNoncharacterLead = 0xEF;  // U+FFFE is EF BF BE, U+FFFF EF BF BF

bool IsForbiddenByte(unsigned char b) { return b < 0x20 && b != '\t' && b != '\n' && b != '\r'; }

bool IsNoncharacterAt(std::string_view utf8, std::size_t pos) {
  return pos + 2 < utf8.size() && static_cast<unsigned char>(utf8[pos + 1]) == 0xBF &&
         (static_cast<unsigned char>(utf8[pos + 2]) & 0xFE) == 0xBE;
}

#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;
// Bit i set where block byte i is a forbidden control byte or 0xEF, the lead
// byte of the two noncharacters.
unsigned SuspectBytes(const unsigned char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
  const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))),
                                       _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
  const __m128i lead = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(kNoncharacterLead)));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(_mm_andnot_si128(allowed, control), lead)));
}
#endif

}  // namespace

bool IsForbiddenInXml(char32_t code_point) {
  if (code_point < 0x20) return code_point != '\t' && code_point != '\n' && code_point != '\r';
  return (code_point >= 0xD800 && code_point < 0xE000) || code_point == 0xFFFE ||
         code_point == 0xFFFF;
}

std::string DescribeForbidden(char32_t code_point) {
  char name[40];
  std::snprintf(name, sizeof name, "%s U+%04X",
                code_point < 0x20 ? "control character" : "noncharacter",
                static_cast<unsigned>(code_point));
  return name;
}

std::size_t FindForbiddenInUtf8(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t pos = 0;
#if defined(__SSE2__)
  for (; pos + kBlock <= n; pos += kBlock) {
    for (unsigned suspects = SuspectBytes(p + pos); suspects != 0; suspects &= suspects - 1) {
      const std::size_t at = pos + static_cast<std::size_t>(__builtin_ctz(suspects));
      if (p[at] != kNoncharacterLead || IsNoncharacterAt(utf8, at)) return at;
    }
  }
#endif
  for (; pos < n; ++pos) {
    if (IsForbiddenByte(p[pos])) return pos;
    if (p[pos] == kNoncharacterLead && IsNoncharacterAt(utf8, pos)) return pos;
  }
  return std::string_view::npos;
}

}  // namespace lirrevo
