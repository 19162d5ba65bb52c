#include "check/html_page.h"

#include <cstddef>
#include <string>

namespace lirrevo::check {
namespace {

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;  // 0: no byte a character begins with
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xF4) {
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    }
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    }
    at += length;
  }
  return true;
}

std::string AsUtf8(std::string_view html) {
  if (IsUtf8(html)) return std::string(html);
  std::string utf8;
  for (const char byte : html) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      utf8 += byte;
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

GumboOptions Options() {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // only the tree is wanted
  return options;
}

}  // namespace

HtmlPage::HtmlPage(std::string_view html) {
  const std::string utf8 = AsUtf8(html);
  const GumboOptions options = Options();
  output_ = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
}

HtmlPage::~HtmlPage() {
  const GumboOptions options = Options();
  if (output_ != nullptr) gumbo_destroy_output(&options, output_);
}

}  // namespace lirrevo::check
