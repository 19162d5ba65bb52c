// The sitemap reader on hostile sitemaps, from files and from a test server
// on 127.0.0.1 (tests/support/link_server.py): never another address.
#include "check/sitemap_input.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/link_server.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

std::string Urlset(const std::string& loc, const std::string& prolog = "") {
  return prolog + "<urlset>\n<url><loc> " + loc + "\n</loc></url>\n</urlset>\n";
}

std::string Gzip(const std::string& bytes) {
  return test::RunProgram({"/bin/sh", "-c", "gzip -c"}, bytes).out;
}

TEST(ReadSitemapLocs, ReadsASitemapWholeOrNamesTheSourceAndTheCause) {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1);
  ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK);
  const test::TempFolder dir;
  const test::LinkServer server(1, {}, dir.path());
  const std::string a = server.Http(1);
  const std::string missing = a + "/status/404/x&y";  // its page is not XML either
  test::WriteFile(dir / "fine.xml", Urlset(a + "/status/410"));

  const std::string doc = Urlset(a + "/status/410?a=1&amp;b=2");
  std::string utf16 = "\xff\xfe";
  for (const char c : Urlset(a + "/u", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>")) {
    utf16 += {c, '\0'};
  }
  const struct {
    std::string name, bytes;  // a file's, or a URL
    std::string locs;         // empty when refused
    std::string err = {};     // for a file, the cause after "cannot read 'FILE': "
    std::size_t skipped = 0;
    int exit_code = 0;  // of lirrevo-cli check, where 0 means not run
  } rows[] = {
      {"urlset.xml", doc, a + "/status/410?a=1&b=2\n", ""},
      {"members.gz", Gzip(doc.substr(0, 30)) + Gzip(doc.substr(30)), a + "/status/410?a=1&b=2\n"},
      {"cut.gz", Gzip(doc).substr(0, 40), "", "the gzip data ends early"},
      {"cut.xml", doc.substr(0, doc.size() - 4), "",
       "the XML ends early, at line 4 inside <urlset>"},
      {"undeclared.xml", Urlset(a + "/&nbsp;x", "<!DOCTYPE urlset SYSTEM \"urlset.dtd\">\n"), "",
       "line 3: the entity '&nbsp;' has no declaration that is read"},
      {"external.xml", Urlset(a + "/&e;", "<!DOCTYPE urlset [<!ENTITY e SYSTEM \"e.txt\">]>\n"), "",
       "line 3: the external entity 'e.txt' is not read"},
      {"latin1.xml", Urlset(a + "/caf\xe9", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
       a + "/caf\xc3\xa9\n"},
      {"utf16.xml", utf16, a + "/u\n"},
      {"cp1252.xml", Urlset(a + "/w", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"), "",
       "encoding 'windows-1252' is not supported"},
      // cut.xml, of a row above, has a whole loc before it breaks off.
      {"index.xml",
       "<sitemapindex><sitemap><loc>" + a + "/status/404/x&amp;y</loc></sitemap><sitemap><loc>" +
           a + "/files/cut.xml</loc></sitemap><sitemap><loc>" + a +
           "/files/fine.xml</loc></sitemap></sitemapindex>",
       a + "/status/410\n",
       "lirrevo-cli: skipped sitemap '" + missing + "': the server answered 404\n" +
           "lirrevo-cli: skipped sitemap '" + a +
           "/files/cut.xml': the XML ends early, at line 4 inside <urlset>\n",
       2, 2},
      {missing, "", "", "lirrevo-cli: cannot fetch '" + missing + "': the server answered 404\n", 0,
       2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string source = row.name.starts_with("http") ? row.name : dir / row.name;
    if (source != row.name) test::WriteFile(source, row.bytes);
    const std::string err = row.err.empty() || row.err.starts_with("lirrevo-cli: ")
                                ? row.err
                                : "lirrevo-cli: cannot read '" + source + "': " + row.err + "\n";
    std::string error;
    const std::optional<check::SitemapLocs> read = check::ReadSitemapLocs(source, {}, error);
    std::string said = read ? "" : "lirrevo-cli: " + error + "\n";
    for (const std::string& skipped : read ? read->skipped : std::vector<std::string>{}) {
      said += "lirrevo-cli: " + skipped + "\n";
    }
    EXPECT_EQ(said, err);
    ASSERT_EQ(read.has_value(), !row.locs.empty());
    EXPECT_EQ(read ? read->locs : "", row.locs);
    EXPECT_EQ(read ? read->skipped.size() : 0, row.skipped);
    if (row.exit_code == 0) continue;
    // What was read is still checked and written; the status says it was not all.
    const test::ProgramOutcome run =
        test::RunProgram({LIRREVO_CLI, "check", "--sitemap", source, "-o", dir / "dead.xml"}, "");
    EXPECT_EQ(run.exit_code, row.exit_code);
    EXPECT_TRUE(run.err.starts_with(err)) << run.err;
    if (row.skipped > 0) {
      EXPECT_EQ(test::ReadFile(dir / "dead.xml"),
                test::ExpectedDocument({a + "/status/410"}, test::kFixedLastmod));
    }
  }
  curl_global_cleanup();
}

}  // namespace
}  // namespace lirrevo
