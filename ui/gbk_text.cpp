#include "ui/gbk_text.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/output_encoding.h"

namespace lirrevo::ui {
namespace {

constexpr char kPlaceholder = '?';
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;

// The GBK code of one character of the Basic Multilingual Plane.
struct GbkCode {
  bool known = false;       // looked up already
  std::uint8_t length = 0;  // 0: GBK has no code for it
  char bytes[2] = {};
};

std::string Utf8Of(char16_t c) {
  std::string utf8;
  if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
  } else {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (c & 0x3F));
  return utf8;
}

GbkCode LookUp(char16_t c) {
  GbkCode code;
  code.known = true;
  const std::optional<std::string> gbk = Utf8ToGbk(Utf8Of(c));
  if (gbk && !gbk->empty() && gbk->size() <= 2) {
    code.length = static_cast<std::uint8_t>(gbk->size());
    gbk->copy(code.bytes, gbk->size());
  }
  return code;
}

// Codes are looked up through the core once per character and kept: GBK is
// stateless, so converting character by character gives the bytes that one
// conversion of the whole text would, and a large box costs no iconv work.
const GbkCode& CodeOf(char16_t c) {
  static std::vector<GbkCode> codes(0x10000);
  GbkCode& code = codes[c];
  if (!code.known) code = LookUp(c);
  return code;
}

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

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

class GbkWriter {
 public:
  // At most two bytes per UTF-16 unit; the buffer is not cleared first.
  explicit GbkWriter(std::size_t units)
      : buffer_(std::make_unique_for_overwrite<char[]>(units * 2 + 1)), out_(buffer_.get()) {}

  void Byte(char b) { *out_++ = b; }
  // Eight plain ASCII units at p as eight bytes; false if they are not plain.
  bool Ascii8(const char16_t* p) {
    if (!CopyPlainAscii8(p, out_)) return false;
    out_ += 8;
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
  void Code(const GbkCode& code) {
    if (code.length == 0) return Placeholder();
    for (int i = 0; i < code.length; ++i) Byte(code.bytes[i]);
  }
  // A character outside the Basic Multilingual Plane: at most two bytes per
  // UTF-16 unit fit, and GBK has no code for any of them anyway.
  void Supplementary(char16_t high, char16_t low) {
    const QChar pair[] = {QChar(high), QChar(low)};
    const std::optional<std::string> gbk = Utf8ToGbk(QString(pair, 2).toStdString());
    if (!gbk || gbk->empty() || gbk->size() > 4) return Placeholder();
    for (char b : *gbk) Byte(b);
  }
  GbkText Finish() && {
    return {std::string(buffer_.get(), static_cast<std::size_t>(out_ - buffer_.get())), exact_};
  }

 private:
  std::unique_ptr<char[]> buffer_;
  char* out_;
  bool exact_ = true;
};

}  // namespace

GbkText QStringToGbk(const QString& text) {
  const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
  const std::size_t n = static_cast<std::size_t>(text.size());
  GbkWriter out(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (i + 8 <= n && out.Ascii8(units + i)) {
      i += 7;
      continue;
    }
    const char16_t c = units[i];
    if (c < 0x80 && c != '\n' && c != '\r') {
      out.Byte(static_cast<char>(c));
    } else if (c == '\n' || c == kLineSeparator || c == kParagraphSeparator) {
      out.LineBreak();
    } else if (c == '\r') {
      out.LineBreak();
      if (i + 1 < n && units[i + 1] == '\n') ++i;
    } else if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
      out.Supplementary(c, units[i + 1]);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      out.Placeholder();
    } else {
      out.Code(CodeOf(c));
    }
  }
  return std::move(out).Finish();
}

std::optional<QString> GbkToQString(std::string_view gbk) {
  const std::optional<std::string> utf8 = GbkToUtf8(gbk);
  if (!utf8) return std::nullopt;
  QString text = QString::fromStdString(*utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QString GbkToDisplayText(std::string_view gbk) {
  std::optional<QString> text = GbkToQString(gbk);
  if (text) return *std::move(text);
  return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
}

}  // namespace lirrevo::ui
