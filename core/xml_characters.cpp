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

Utf8Character DecodeUtf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char b0 = byte(0);
  if (b0 < 0x80) return {b0, 1};
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // no overlong forms
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {};
  }
  if (text.size() - pos < length || byte(1) < low || byte(1) > high) return {};
  char32_t code_point = b0 & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return {};
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  return {code_point, length};
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
