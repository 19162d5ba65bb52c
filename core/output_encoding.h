// Turns the finished GBK document into the UTF-8 bytes that are written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lirrevo {

// What one ConvertEncoding call did, for callers that need more than the bytes.
struct ConversionReport {
  bool ok = false;               // false: unknown name, invalid input or no memory
  std::size_t growths = 0;       // how often the work buffer grew
  std::size_t buffer_size = 0;   // final size of the work buffer
  std::size_t error_offset = 0;  // on invalid input: offset of the first byte not converted
  bool truncated = false;        // on invalid input: it ends inside a character
};

// The text's bytes up to its first NUL, as a view into text: the document is
// handed to the converter without a second copy of it in memory.
std::string_view TextToBytes(std::string_view text);

// Converts input with iconv in one call over the whole input; the work buffer
// starts at the input's size and grows by n/2+128 at most 11 times. Empty on
// failure and for empty input; `report` (optional) tells which.
std::string ConvertEncoding(std::string_view input, const char* from, const char* to,
                            ConversionReport* report = nullptr);

// GBK document text to UTF-8 bytes; empty on failure, which includes a
// document holding a NUL byte.
std::string EncodeDocument(std::string_view document);

// Conversions at the window and command-line boundaries; nullopt when the
// input is invalid or holds a character that the target cannot represent.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
std::optional<std::string> GbkToUtf8(std::string_view gbk);

}  // namespace lirrevo
