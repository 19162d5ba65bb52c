// A host name in the ASCII form a request names it by.
#pragma once

#include <optional>
#include <string>

namespace lirrevo::cli {

// host as it is when it is ASCII, else its punycode form ("例子.测试" gives
// "xn--fsqu00a.xn--0zwm56d"); nothing when it is no valid international name.
std::optional<std::string> AsciiHost(const std::string& host);

}  // namespace lirrevo::cli
