// The UTF-8 bytes of a code point, for tests and fuzz targets that build text.
#pragma once

#include <string>

namespace lirrevo::test {

// The code point (at most U+10FFFF) as UTF-8.
inline std::string Utf8Of(char32_t c) {
  std::string utf8;
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (c >> 18));
    utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (c & 0x3F));
  return utf8;
}

}  // namespace lirrevo::test
