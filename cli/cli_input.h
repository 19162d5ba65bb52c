// Turns the bytes given to lirrevo-cli into the edit box's form: GBK text
// with CR LF line breaks.
#pragma once

#include <string>
#include <string_view>

namespace lirrevo::cli {

enum class InputEncoding { kUtf8, kGbk };

struct PreparedInput {
  bool ok = false;
  std::string text;   // GBK, CR LF line breaks; valid when ok
  std::string error;  // one line naming the problem and its line number; when !ok
};

// Checks and converts the input. A leading UTF-8 byte order mark is dropped;
// a NUL byte, bytes invalid in the encoding or a character GBK cannot hold
// are errors. A lone LF becomes CR LF; a lone CR stays content.
PreparedInput PrepareInput(std::string_view bytes, InputEncoding encoding);

}  // namespace lirrevo::cli
