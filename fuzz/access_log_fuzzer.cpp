// Access-log lines and log_format templates from hostile bytes: a line is read
// or refused, never read out of bounds, and what is read lies in the line.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/access_log.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::fuzz::Require;

bool Within(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string format = provider.ConsumeBool() ? std::string(lirrevo::kCombinedLogFormat)
                                                    : provider.ConsumeRandomLengthString(80);
  const std::string line = provider.ConsumeRemainingBytesAsString();
  const std::optional<lirrevo::AccessLogFormat> parsed = lirrevo::AccessLogFormat::Parse(format);
  if (!parsed) return 0;
  if (const std::optional<lirrevo::LoggedRequest> request = parsed->Read(line)) {
    Require(Within(request->method, line) && Within(request->target, line),
            "the method and the target are parts of the line");
    Require(Within(request->user_agent, line), "the user agent is a part of the line");
    Require(!request->method.empty() && !request->target.empty(),
            "a request read has a method and a target");
    Require(request->status >= 100 && request->status <= 599, "a status is 100 to 599");
  }
  lirrevo::DeadLinkLog dead("https://e.cn/", {404, 410});
  dead.Take(*parsed, line);
  dead.Take(*parsed, line);
  Require(dead.Links().size() <= 1, "one line gives one link at most, however often it comes");
  return 0;
}
