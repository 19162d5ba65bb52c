// ASCII's letters in either case, its hex digits and its blanks, the same in
// every locale: a byte outside ASCII is never a letter. Inline, for the
// per-line scans of logs as much as for headers and robots.txt.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace lirrevo {

inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

inline bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && EqualNoCase(text.substr(0, start.size()), start);
}

// The value of the hex digit c, in either case, or -1.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Whether two hex digits begin at text[at].
inline bool HexPairAt(std::string_view text, std::size_t at) {
  return at + 1 < text.size() && HexDigit(text[at]) >= 0 && HexDigit(text[at + 1]) >= 0;
}

// Appends byte as "%XX", in upper-case hex.
inline void AppendPercentEscaped(std::string& out, unsigned char byte) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  const char escaped[] = {'%', kHex[byte >> 4], kHex[byte & 15]};
  out.append(escaped, sizeof escaped);
}

// text without the bytes of blanks at its ends.
inline std::string_view Trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

}  // namespace lirrevo
