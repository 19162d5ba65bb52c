// The characters that XML 1.0 cannot hold in any form, not even as a
// character reference: a document holding one is no XML at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lirrevo {

// True for the control characters other than tab, LF and CR (U+0000-U+0008,
// U+000B, U+000C, U+000E-U+001F), the surrogates and U+FFFE, U+FFFF.
bool IsForbiddenInXml(char32_t code_point);

// How an error names such a character: "control character U+000C",
// "noncharacter U+FFFE".
std::string DescribeForbidden(char32_t code_point);

struct Utf8Character {
  char32_t code_point = 0;
  std::size_t length = 0;  // 0: no valid UTF-8 sequence here
};

// The character that starts at text[pos] (pos < text.size()): no overlong
// forms, no surrogates, nothing above U+10FFFF.
Utf8Character DecodeUtf8(std::string_view text, std::size_t pos);

}  // namespace lirrevo
