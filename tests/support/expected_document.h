// The dead-link document as the tests expect it, spelled out from its fixed
// form: never built by the code under test.
#pragma once

#include <string>
#include <vector>

namespace lirrevo::test {

inline const std::string kDocumentHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "  <urlset>\r\n";
inline const std::string kDocumentClosing = "  </urlset>";

// One entry; loc and lastmod are taken as they stand (already escaped).
inline std::string ExpectedEntry(const std::string& loc, const std::string& lastmod) {
  return "    <url>\r\n"
         "        <loc>" +
         loc +
         "</loc>\r\n"
         "        <lastmod>" +
         lastmod +
         "</lastmod>\r\n"
         "        <changefreq>always</changefreq>\r\n"
         "        <priority>1.0</priority>\r\n"
         "    </url>\r\n";
}

inline std::string ExpectedDocument(const std::vector<std::string>& locs,
                                    const std::string& lastmod) {
  std::string document = kDocumentHeader;
  for (const std::string& loc : locs) document += ExpectedEntry(loc, lastmod);
  return document + kDocumentClosing;
}

// SOURCE_DATE_EPOCH for 2015-02-12 00:00:00 UTC: lirrevo-cli then dates every
// entry 2015-2-12.
inline constexpr const char* kFixedEpoch = "1423699200";
inline constexpr const char* kFixedLastmod = "2015-2-12";

}  // namespace lirrevo::test
