#include "cli/ascii_host.h"

#include <idn2.h>

#include <algorithm>
#include <cstdint>

namespace lirrevo::cli {

std::optional<std::string> AsciiHost(const std::string& host) {
  if (std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; })) return host;
  std::uint8_t* ascii = nullptr;
  if (idn2_lookup_u8(reinterpret_cast<const std::uint8_t*>(host.c_str()), &ascii,
                     IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL) != IDN2_OK) {
    return std::nullopt;
  }
  std::string result(reinterpret_cast<const char*>(ascii));
  idn2_free(ascii);
  return result;
}

}  // namespace lirrevo::cli
