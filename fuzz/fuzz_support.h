// Small pieces shared by the fuzz targets: a check that stops the run with a
// readable reason.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace lirrevo::fuzz {

// Stops the fuzzer with the reason, so the input is saved as a crash.
inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace lirrevo::fuzz
