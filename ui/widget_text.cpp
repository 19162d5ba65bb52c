#include "ui/widget_text.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/document/output_encoding.h"

namespace lirrevo::ui {
namespace {

constexpr char kPlaceholder = '?';

// The code of one character: up to four bytes.
struct CharacterCode {
  bool known = false;       // looked up already
  std::uint8_t length = 0;  // 0: there is no code for it
  char bytes[4] = {};
};

// Codes are looked up through the core once per character and kept: the
// encoding is stateless, so converting character by character gives the
// bytes that one conversion of the whole text would, and a large box costs no
// iconv work.
class CodeTable {
 public:
  CodeTable() : codes_(0x10000) {}

  const CharacterCode& Of(char16_t c) {
    CharacterCode& code = codes_[c];
    if (!code.known) code = LookUp(QString(QChar(c)));
    return code;
  }

  // A character outside the Basic Multilingual Plane, from its two units.
  // These are few in any text, so they are kept as they come.
  const CharacterCode& OfPair(char16_t high, char16_t low) {
    const char32_t key = (static_cast<char32_t>(high) << 16) | low;
    CharacterCode& code = supplementary_[key];
    const QChar pair[] = {QChar(high), QChar(low)};
    if (!code.known) code = LookUp(QString(pair, 2));
    return code;
  }

 private:
  CharacterCode LookUp(const QString& character) const {
    CharacterCode code;
    code.known = true;
    const std::optional<std::string> bytes = Utf8ToText(character.toStdString());
    if (bytes && !bytes->empty() && bytes->size() <= sizeof code.bytes) {
      code.length = static_cast<std::uint8_t>(bytes->size());
      bytes->copy(code.bytes, bytes->size());
    }
    return code;
  }

  std::vector<CharacterCode> codes_;
  std::unordered_map<char32_t, CharacterCode> supplementary_;
};

CodeTable& TextCodes() {
  static CodeTable table;
  return table;
}

// UTF-8 is worked out, not looked up: every character has it.
class Utf8Codes {
 public:
  CharacterCode Of(char16_t c) const { return Code(c); }
  CharacterCode OfPair(char16_t high, char16_t low) const {
    return Code(QChar::surrogateToUcs4(high, low));
  }

 private:
  static CharacterCode Code(char32_t c) {
    CharacterCode code;
    code.known = true;
    code.length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const unsigned lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = code.length - 1; i > 0; --i, c >>= 6) {
      code.bytes[i] = static_cast<char>(0x80 | (c & 0x3F));
    }
    code.bytes[0] = static_cast<char>(lead[code.length] | c);
    return code;
  }
};

// Eight UTF-16 units at p that are all ASCII and none CR or LF become the
// eight bytes they stand for, written to out; false (nothing written) if not.
bool CopyPlainAscii8(const char16_t* p, char* out) {
#if defined(__SSE2__)
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i zero = _mm_setzero_si128();
  const __m128i non_ascii = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
  const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('\n')),
                                      _mm_cmpeq_epi16(units, _mm_set1_epi16('\r')));
  const __m128i plain = _mm_andnot_si128(breaks, _mm_cmpeq_epi16(non_ascii, zero));
  if (_mm_movemask_epi8(plain) != 0xFFFF) return false;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
  return true;
#else
  for (int i = 0; i < 8; ++i) {
    if (p[i] >= 0x80 || p[i] == '\n' || p[i] == '\r') return false;
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(p[i]);
  return true;
#endif
}

class TextWriter {
 public:
  // unit_bytes per UTF-16 unit to start with: two are enough for every GBK
  // character, three for any UTF-8; the buffer grows where a unit takes more.
  TextWriter(std::size_t units, std::size_t unit_bytes) : capacity_(units * unit_bytes + 4) {
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  }

  void Byte(char b) { buffer_[size_++] = b; }
  // Eight plain ASCII units at p as eight bytes; false if they are not plain.
  bool Ascii8(const char16_t* p) {
    if (!CopyPlainAscii8(p, buffer_.get() + size_)) return false;
    size_ += 8;
    return true;
  }
  void LineBreak() {
    Byte('\r');
    Byte('\n');
  }
  void Placeholder() {
    Byte(kPlaceholder);
    exact_ = false;
  }
  // `units` is what the text had left from this character on: growing to
  // two bytes for each of them, and four more, keeps the worst case in room.
  void Code(const CharacterCode& code, std::size_t units) {
    if (code.length == 0) return Placeholder();
    if (code.length > 2 && size_ + 4 + units * 2 > capacity_) Grow(units);
    for (int i = 0; i < code.length; ++i) Byte(code.bytes[i]);
  }
  WidgetText Finish() && { return {std::string(buffer_.get(), size_), exact_}; }

 private:
  void Grow(std::size_t units) {
    const std::size_t capacity = std::max(capacity_ * 3 / 2, size_ + 4 + units * 2);
    std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), buffer_.get(), size_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  bool exact_ = true;
};

// The text in the encoding whose codes are given, every line break as CR LF.
template <typename Codes>
WidgetText Encode(const QString& text, Codes& codes, std::size_t unit_bytes) {
  const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
  const std::size_t n = static_cast<std::size_t>(text.size());
  TextWriter out(n, unit_bytes);
  for (std::size_t i = 0; i < n; ++i) {
    if (i + 8 <= n && out.Ascii8(units + i)) {
      i += 7;
      continue;
    }
    const char16_t c = units[i];
    if (c < 0x80 && c != '\n' && c != '\r') {
      out.Byte(static_cast<char>(c));
    } else if (c == '\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      out.LineBreak();
    } else if (c == '\r') {
      out.LineBreak();
      if (i + 1 < n && units[i + 1] == '\n') ++i;
    } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
      // At most four bytes for two units: within what the buffer keeps.
      out.Code(codes.OfPair(c, units[i + 1]), 0);
      ++i;
    } else if (QChar::isSurrogate(c)) {
      out.Placeholder();
    } else {
      out.Code(codes.Of(c), n - i);
    }
  }
  return std::move(out).Finish();
}

}  // namespace

WidgetText QStringToText(const QString& text) { return Encode(text, TextCodes(), 2); }

WidgetText QStringToUtf8(const QString& text) {
  Utf8Codes codes;
  return Encode(text, codes, 3);
}

std::optional<QString> TextToQString(std::string_view text) {
  const std::optional<std::string> utf8 = TextToUtf8(text);
  if (!utf8) return std::nullopt;
  QString widget_text = QString::fromStdString(*utf8);
  widget_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return widget_text;
}

QString TextToDisplayText(std::string_view text) {
  std::optional<QString> shown = TextToQString(text);
  if (shown) return *std::move(shown);
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace lirrevo::ui
