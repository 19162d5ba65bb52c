// Deterministic lists of realistic dead links for the benchmarks.
#pragma once

#include <cstddef>
#include <string>

namespace lirrevo::bench {

// `count` lines joined by CR LF, GBK, as the edit box delivers them: links of
// 40-120 bytes, about 10% with a query holding '&', about 10% with Chinese
// characters, about 1% empty lines. The same count always gives the same text.
std::string GenerateLinkText(std::size_t count);

}  // namespace lirrevo::bench
