#include "cli/cli_input.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/output_encoding.h"

namespace lirrevo::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t LineOf(std::string_view bytes, std::size_t offset) {
  return 1 + static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

PreparedInput Failure(std::string_view bytes, std::size_t offset, const std::string& what) {
  return {false, {}, "line " + std::to_string(LineOf(bytes, offset)) + ": " + what};
}

// Length of the valid UTF-8 sequence at text[pos], or 0 if there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const std::size_t left = text.size() - pos;
  const unsigned char b0 = byte(0);
  if (b0 < 0x80) return 1;
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
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::size_t FirstInvalidUtf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return std::string_view::npos;
}

std::string CodePointName(std::string_view utf8, std::size_t pos) {
  const std::size_t length = Utf8SequenceLength(utf8, pos);
  const auto b0 = static_cast<unsigned char>(utf8[pos]);
  std::uint32_t cp = length == 1 ? b0 : b0 & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) cp = (cp << 6) | (utf8[pos + i] & 0x3F);
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
  return name;
}

// GBK text with every LF that does not follow a CR turned into CR LF. In valid
// GBK neither CR nor LF is ever the second byte of a character.
std::string WithCrLfBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  char previous = '\0';
  for (char c : text) {
    if (c == '\n' && previous != '\r') out += '\r';
    out += c;
    previous = c;
  }
  return out;
}

}  // namespace

PreparedInput PrepareInput(std::string_view bytes, InputEncoding encoding) {
  if (encoding == InputEncoding::kUtf8 && bytes.starts_with(kByteOrderMark)) {
    bytes.remove_prefix(kByteOrderMark.size());
  }
  const std::size_t nul = bytes.find('\0');
  const std::size_t bad =
      encoding == InputEncoding::kUtf8 ? FirstInvalidUtf8(bytes) : std::string_view::npos;
  if (bad < nul) return Failure(bytes, bad, "invalid UTF-8");
  if (nul != std::string_view::npos) return Failure(bytes, nul, "NUL byte in the input");
  ConversionReport report;
  std::string gbk;
  if (encoding == InputEncoding::kUtf8) {
    gbk = ConvertEncoding(bytes, "UTF-8", "GBK", &report);
    if (!report.ok) {
      return Failure(bytes, report.error_offset,
                     "character " + CodePointName(bytes, report.error_offset) +
                         " cannot be represented in GBK");
    }
  } else {
    ConvertEncoding(bytes, "GBK", "UTF-8", &report);
    if (!report.ok) {
      return Failure(bytes, report.error_offset,
                     report.truncated ? "input ends inside a GBK character" : "invalid GBK");
    }
    gbk = std::string(bytes);
  }
  return {true, WithCrLfBreaks(gbk), {}};
}

}  // namespace lirrevo::cli
