#include "cli/messages.h"

#include <cstdio>
#include <cstring>

#include "core/document/link_list.h"
#include "core/document/xml_characters.h"

namespace lirrevo::cli {

int Fail(const std::string& message, int exit_code) {
  Say(message);
  return exit_code;
}

void Warn(const std::string& message) { Say("warning: " + message); }

void Say(const std::string& message) {
  const std::string line = "lirrevo-cli: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string Named(const std::string& source) {
  return source == "-" ? "standard input" : "'" + source + "'";
}

std::string CannotRead(const std::string& source, const std::string& why) {
  return "cannot read " + Named(source) + ": " + why;
}

std::string CannotWriteStandardOutput(int error) {
  return std::string("cannot write standard output: ") + std::strerror(error);
}

std::string Counted(std::size_t count, const char* one, const char* many) {
  return GroupThousands(count) + " " + (count == 1 ? one : many);
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      json += {'\\', static_cast<char>(c)};
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else if (const std::size_t length = DecodeUtf8(text, i).length; length > 0) {
      json.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      json += "\\ufffd";
    }
    ++i;
  }
  return json + '"';
}

}  // namespace lirrevo::cli
