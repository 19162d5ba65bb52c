// The step of every scan over the system's text (GBK, or GB18030 its superset).
#pragma once

#include <cstddef>
#include <string_view>

namespace lirrevo {

// Bytes that the GBK character starting at text[pos] takes, never past the
// end: a byte above 0x80 leads a two-byte character; 0x80 alone is a
// character of its own (the euro sign, as GBK converters read it). A GB18030
// four-byte character is two such steps: its second and fourth bytes are
// digits, never CR, LF or markup.
inline std::size_t TextCharacterLength(std::string_view text, std::size_t pos) {
  const bool lead = static_cast<unsigned char>(text[pos]) > 0x80;
  return lead && pos + 1 < text.size() ? 2 : 1;
}

}  // namespace lirrevo
