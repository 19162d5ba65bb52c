// Small pieces shared by the fuzz targets: a check that stops the run with a
// readable reason, and the GBK character step written as plainly as possible.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace lirrevo::fuzz {

// Stops the fuzzer with the reason, so the input is saved as a crash.
inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

// Bytes that the GBK character starting at text[pos] takes: a lead byte
// (0x81 or above) takes the byte after it along; 0x80 is the converter's
// one-byte euro sign. May point past the end for a trailing lead byte.
inline std::size_t CharStep(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]) > 0x80 ? 2 : 1;
}

}  // namespace lirrevo::fuzz
