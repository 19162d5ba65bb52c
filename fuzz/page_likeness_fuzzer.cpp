// Pages from hostile bytes held against each other: any page is read (an
// HTML5 parser recovers from any markup), and a page is always exactly like
// itself unless it has no text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "check/page_likeness.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string path = provider.ConsumeRandomLengthString(64);
  const std::string probe = provider.ConsumeRandomLengthString(size);
  const std::string page = provider.ConsumeRemainingBytesAsString();
  const lirrevo::check::PageWords words = lirrevo::check::WordsOf(page, path);
  const std::optional<double> alike =
      lirrevo::check::Likeness(words, lirrevo::check::WordsOf(probe, "/lirrevo-probe-0"));
  lirrevo::fuzz::Require(!alike || (*alike >= 0.9 && *alike <= 1.0), "alike is a share, 0.9 to 1");
  const std::optional<double> self = lirrevo::check::Likeness(words, words);
  lirrevo::fuzz::Require(!self || *self == 1.0, "a page with text is like itself");
  return 0;
}
