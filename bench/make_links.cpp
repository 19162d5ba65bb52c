// lirrevo_links COUNT: prints COUNT generated links as UTF-8 with LF breaks.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/link_generator.h"
#include "core/document/output_encoding.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: lirrevo_links COUNT\n", stderr);
    return 2;
  }
  std::string text = lirrevo::bench::GenerateLinkText(std::strtoull(argv[1], nullptr, 10));
  std::string lf;
  lf.reserve(text.size());
  for (char c : text) {
    if (c != '\r') lf += c;
  }
  const std::optional<std::string> utf8 = lirrevo::TextToUtf8(lf + "\n");
  if (!utf8) return 1;
  return std::fwrite(utf8->data(), 1, utf8->size(), stdout) == utf8->size() ? 0 : 1;
}
