// The system's text and UTF-8, each into the other, through iconv.
//
// The system's text is GB18030, GBK's superset: every GBK character keeps its
// bytes, and the characters GBK lacks take four bytes whose second and fourth
// are the digits 0x30-0x39, so a scan that steps two bytes at a byte above
// 0x80 still finds every CR, LF and markup character. A lone 0x80, which
// GBK converters read as the euro sign, is read so here too.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lirrevo {

// An iconv descriptor from one encoding to another, open while the object
// lives, so that many pieces convert without opening it again.
class EncodingConverter {
 public:
  EncodingConverter(const char* from, const char* to);
  ~EncodingConverter();
  EncodingConverter(const EncodingConverter&) = delete;
  EncodingConverter& operator=(const EncodingConverter&) = delete;

  // False when iconv knows one of the names not; nothing converts then.
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts from `in` into the `room` bytes at `out` as far as it goes, as
  // iconv does: all three move past what was done. False where it stopped
  // short, errno telling why: E2BIG (no room left), EILSEQ (an invalid
  // sequence), EINVAL (the input ends inside a character).
  bool Convert(std::string_view& in, char*& out, std::size_t& room);
  // Forgets the state that an earlier conversion left.
  void Reset();

 private:
  iconv_t cd_;
};

// Converts input with iconv in one call over the whole input, growing the
// output as it fills; nullopt for an unknown name, invalid input or no memory.
std::optional<std::string> ConvertEncoding(std::string_view input, const char* from,
                                           const char* to);

// The system's text as UTF-8 and back; nullopt when the input is not valid,
// or (to text) holds one of the few private-use characters that the
// converter's GB18030 has no code for.
std::optional<std::string> TextToUtf8(std::string_view text);
std::optional<std::string> Utf8ToText(std::string_view utf8);

// Whether the system's text has a code for the code point: every Unicode
// scalar value except a few private-use characters.
bool TextCanHold(char32_t code_point);

// Converts input to UTF-8 in one pass like ConvertEncoding, except that a
// sequence `from` does not allow does not end it: the byte 0xFF, never part
// of UTF-8, takes its place and the conversion resumes `step` bytes later;
// input that ends inside a character ends with the byte 0xFE instead.
std::string ToUtf8MarkingInvalid(std::string_view input, const char* from, std::size_t step);

}  // namespace lirrevo
