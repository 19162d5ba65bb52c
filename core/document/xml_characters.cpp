#include "core/document/xml_characters.h"

#include <cstdio>

namespace lirrevo {

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

}  // namespace lirrevo
