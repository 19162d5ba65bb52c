// `lirrevo-cli crawl` over a small site of tests/data/crawl_site served on
// 127.0.0.1 by the test server: each link's truth, robots.txt, -o, Ctrl+C.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/link_server.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

// A line of crawl's JSON output: its class and detail, by link.
std::map<std::string, std::pair<std::string, std::string>> LinesOf(const std::string& out) {
  const auto field = [](const std::string& line, const std::string& name) {
    const std::size_t at = line.find("\"" + name + "\":\"") + name.size() + 4;
    return line.substr(at, line.find('"', at) - at);
  };
  std::map<std::string, std::pair<std::string, std::string>> lines;
  for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = out.substr(at, end - at);
    lines[field(line, "link")] = {field(line, "class"), field(line, "detail")};
  }
  return lines;
}

class Crawl : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  }
  test::LinkServer server_{2, {}, ".", LIRREVO_TEST_DATA "/crawl_site"};
  std::string site_ = server_.Http(1);
};

TEST_F(Crawl, FindsEachBrokenLinkWithThePageThatHoldsIt) {
  struct Truth {
    std::string path;
    std::string link_class;  // empty: no line (alive); "-": never asked
    std::string found_on;    // the page the detail names
  };
  const std::vector<Truth> truths = {
      {"/missing.html", "dead", "/"},             // relative; on about.html, /index.html too
      {"/old/gone.html", "dead", "/about.html"},  // relative to a page in a folder
      {"/docs/missing2.html", "dead", "/docs/"},  // through <base href="/docs/v2/">
      {"/soft/gone-page", "soft404", "/"},        // the folder's missing page answers 200
      {"/loop/a", "redirect", "/"},               // a redirect loop, asked once each
      {"/loop/b", "redirect", "/loop/a"},
      {"/about.html", "", ""},
      {"/docs/v2/intro.html", "", ""},
      {"/docs/v2/deep.html", "", ""},  // checked: intro.html says nofollow, so not read
      {"/private/open.html", "", ""},  // robots.txt's Allow
      {"/soft/real-page", "", ""},
      {"/private/secret.html", "-", ""},  // robots.txt disallows it
      {"/never-found.html", "-", ""},     // only on a page that is not read
      {"/private-only.html", "-", ""},    // only on a page robots.txt disallows
  };
  const test::ProgramOutcome run =
      test::RunProgram({LIRREVO_CLI, "crawl", "--format", "json", site_ + "/"}, "");
  EXPECT_EQ(run.exit_code, 1) << run.err;
  const auto lines = LinesOf(run.out);
  for (const Truth& truth : truths) {
    SCOPED_TRACE(truth.path);
    const auto line = lines.find(site_ + truth.path);
    if (truth.link_class.empty() || truth.link_class == "-") {
      EXPECT_EQ(line, lines.end());
      continue;
    }
    ASSERT_NE(line, lines.end());
    EXPECT_EQ(line->second.first, truth.link_class);
    EXPECT_NE(line->second.second.find("linked from " + site_ + truth.found_on), std::string::npos)
        << line->second.second;
  }
  EXPECT_NE(lines.at(site_ + "/missing.html").second.find("(and 2 more pages)"), std::string::npos);
  EXPECT_EQ(lines.size(), 6u) << run.out;
  EXPECT_NE(run.err.find("8 pages read, 16 links found (1 to other sites not checked "
                         "(--external), 1 robots.txt disallows)"),
            std::string::npos)
      << run.err;
  const auto seen = server_.Stop();
  EXPECT_FALSE(seen.contains("count GET /private/secret.html"));
  EXPECT_FALSE(seen.contains("count GET /never-found.html"));
}

TEST_F(Crawl, KeepsWithinItsBounds) {
  // A start on another host that redirects to the site names the site.
  const std::string moved = server_.Http(2) + "/redirect/301/" +
                            test::RunProgram({"/usr/bin/python3", "-c",
                                              "import sys, urllib.parse; print(urllib.parse.quote("
                                              "sys.argv[1], safe=''), end='')",
                                              site_ + "/"},
                                             "")
                                .out;
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"--max-pages", "1", site_ + "/"}, "1 page read, 11 links found"},
      {{"--depth", "0", site_ + "/"}, "1 page read, 11 links found"},
      {{"--exclude", "/docs/*", site_ + "/"},
       "6 pages read, 13 links found"},  // neither asked nor read
      {{"--exclude", "*loop*", site_ + "/"}, "8 pages read, 15 links found"},  // /loop/b never seen
      {{moved}, "8 pages read, 17 links found"},
  };
  for (const auto& [options, summary] : runs) {
    SCOPED_TRACE(options[0]);
    std::vector<std::string> argv = {LIRREVO_CLI, "crawl"};
    argv.insert(argv.end(), options.begin(), options.end());
    const test::ProgramOutcome run = test::RunProgram(argv, "");
    EXPECT_NE(run.err.find(summary), std::string::npos) << run.err;
  }
}

TEST_F(Crawl, WritesTheSiteDeadLinksAndKeepsTheFileWhenInterrupted) {
  const test::TempFolder folder;
  const std::string out = folder.path() + "/dead.xml";
  const test::ProgramOutcome run =
      test::RunProgram({LIRREVO_CLI, "crawl", "--depth", "1", "-o", out, site_ + "/"}, "");
  EXPECT_EQ(run.exit_code, 1) << run.err;
  const std::string document = test::ReadFile(out).value_or("");
  EXPECT_NE(document.find("<loc>" + site_ + "/missing.html</loc>"), std::string::npos);
  EXPECT_NE(document.find("<loc>" + site_ + "/old/gone.html</loc>"), std::string::npos);
  // docs/ is one link below the start: its page is read, intro.html's is not.
  EXPECT_NE(document.find("/docs/missing2.html"), std::string::npos);
  EXPECT_EQ(document.find("soft"), std::string::npos);

  test::RunningProgram slow({LIRREVO_CLI, "crawl", "-o", out, site_ + "/slow/5000/200"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(slow.pid(), SIGINT);
  const test::ProgramOutcome stopped = slow.Finish();
  EXPECT_EQ(stopped.exit_code, 130);
  EXPECT_NE(stopped.err.find("interrupted; '" + out + "' was not written"), std::string::npos)
      << stopped.err;
  EXPECT_EQ(test::ReadFile(out).value_or(""), document);
}

}  // namespace
}  // namespace lirrevo
