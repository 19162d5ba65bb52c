// Access-log lines and log_format templates from hostile bytes: a line is read
// or refused, never read out of bounds, what is read lies in the line, and a
// link made of it is the site and a path a URL can hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/logs/access_log.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::fuzz::Require;

bool Within(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Bytes a URL's path and query hold as they are, and '%' before two hex digits.
bool IsUrlPath(std::string_view path) {
  for (std::size_t at = 0; at < path.size(); ++at) {
    const auto c = static_cast<unsigned char>(path[at]);
    const bool escape =
        c == '%' && at + 2 < path.size() && IsHex(path[at + 1]) && IsHex(path[at + 2]);
    if (!escape && !std::isalnum(c) && (c == 0 || !std::strchr("-._~!$&'()*+,;=:@/?", c))) {
      return false;
    }
  }
  return path.starts_with('/');
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
  for (const std::string& link : dead.Links()) {
    Require(link.starts_with("https://e.cn/") && IsUrlPath(std::string_view(link).substr(12)),
            "a link is the site and a path with only the bytes a URL holds");
  }
  return 0;
}
