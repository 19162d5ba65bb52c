#include "ui/gbk_text.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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

// True when the four UTF-16 units in w are all ASCII and none is CR or LF:
// they become four bytes as they are.
bool IsPlainAscii4(std::uint64_t w) {
  constexpr std::uint64_t kNonAscii = 0xFF80FF80FF80FF80ULL;
  constexpr std::uint64_t kOnes = 0x0001000100010001ULL;
  constexpr std::uint64_t kHighs = 0x8000800080008000ULL;
  const auto has_unit = [&](std::uint64_t unit) {
    const std::uint64_t x = w ^ (kOnes * unit);
    return ((x - kOnes) & ~x & kHighs) != 0;
  };
  return (w & kNonAscii) == 0 && !has_unit('\n') && !has_unit('\r');
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

class GbkWriter {
 public:
  // At most two bytes per UTF-16 unit; the buffer is not cleared first.
  explicit GbkWriter(std::size_t units)
      : buffer_(std::make_unique_for_overwrite<char[]>(units * 2 + 1)), out_(buffer_.get()) {}

  void Byte(char b) { *out_++ = b; }
  // Four ASCII units, in the machine's byte order, as four bytes.
  void Ascii4(std::uint64_t w) {
    for (int k = 0; k < 4; ++k) {
      std::uint16_t unit;
      std::memcpy(&unit, reinterpret_cast<const char*>(&w) + 2 * k, sizeof unit);
      *out_++ = static_cast<char>(unit);
    }
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
    if (std::uint64_t w; i + 4 <= n && (std::memcpy(&w, units + i, sizeof w), IsPlainAscii4(w))) {
      out.Ascii4(w);
      i += 3;
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
