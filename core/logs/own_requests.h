// What marks the check's own requests, so that reading a site's log does not
// take them for dead links.
#pragma once

#include <string_view>

namespace lirrevo {

// Begins the last segment of every path the check makes up to learn how a
// site answers for a page that cannot exist.
inline constexpr std::string_view kProbeMark = "lirrevo-probe-";

// Begins the User-Agent of every request the check sends.
inline constexpr std::string_view kUserAgentProduct = "Lirrevo/";

}  // namespace lirrevo
