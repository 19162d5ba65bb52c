// A robots.txt from hostile bytes, asked about hostile paths: any file is
// read, and the answers keep the rules' promises.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "check/robots_txt.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string path = "/" + provider.ConsumeRandomLengthString(256);
  const std::string text = provider.ConsumeRemainingBytesAsString();
  const lirrevo::check::RobotsRules rules = lirrevo::check::ParseRobots(text, "lirrevo");
  lirrevo::fuzz::Require(lirrevo::check::Allowed(rules, "/robots.txt"),
                         "robots.txt itself is always allowed");
  const bool allowed = lirrevo::check::Allowed(rules, path);
  lirrevo::fuzz::Require(rules.rules.empty() ? allowed : true,
                         "a file without rules allows every path");
  lirrevo::fuzz::Require(
      !lirrevo::check::Allowed(lirrevo::check::DisallowAll(), path) || path == "/robots.txt",
      "a file that cannot be read allows nothing");
  return 0;
}
