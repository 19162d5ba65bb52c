// Turns the bytes given to lirrevo-cli into the edit box's form: the system's
// text (GB18030) with CR LF line breaks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::cli {

// kUtf8 also reads a UTF-16 file that begins with its byte-order mark.
enum class InputEncoding { kUtf8, kGbk, kGb18030, kUtf16 };

struct PreparedInput {
  bool ok = false;
  std::string text;                 // valid when ok
  std::vector<std::string> errors;  // when !ok: "line N: what", one per bad line
};

// The most bad lines that errors names one by one; a last entry tells how
// many more there are.
inline constexpr std::size_t kMaxNamedLines = 20;

// Checks and converts the input. CR LF, a lone LF and a lone CR each end a
// line; a leading byte-order mark is dropped. A line is bad when it holds
// bytes invalid in the encoding, a NUL or another character that XML 1.0
// cannot hold, or a character that has no code in the system's text.
PreparedInput PrepareInput(std::string_view bytes, InputEncoding encoding);

}  // namespace lirrevo::cli
