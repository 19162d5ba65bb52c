// ReplaceAll against a plain reference of the double-byte replacement rule.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/document/sitemap_document.h"
#include "core/document/text_character.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::TextCharacterLength;
using lirrevo::fuzz::Require;

// Walks the text one character at a time; where the pattern starts, the
// replacement is written and the pattern skipped, otherwise the character is
// copied. Slow and obvious on purpose.
std::string ReferenceReplaceAll(std::string_view text, std::string_view pattern,
                                std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos, pattern.size()) == pattern) {
      result += replacement;
      pos += pattern.size();
    } else {
      const std::string_view character = text.substr(pos, TextCharacterLength(text, pos));
      result += character;
      pos += character.size();
    }
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string pattern = provider.ConsumeRandomLengthString(24);
  const std::string replacement = provider.ConsumeRandomLengthString(24);
  const std::string text = provider.ConsumeRemainingBytesAsString();

  Require(lirrevo::ReplaceAll(text, pattern, replacement) ==
              ReferenceReplaceAll(text, pattern, replacement),
          "ReplaceAll equals the reference");
  // Putting every match back as it was must give the text unchanged: a match
  // found inside a character, or one made of inserted text, would show here.
  Require(lirrevo::ReplaceAll(text, pattern, pattern) == text,
          "replacing the pattern with itself changes nothing");
  return 0;
}
