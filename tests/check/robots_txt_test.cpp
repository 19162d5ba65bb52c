#include "check/robots_txt.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace lirrevo::check {
namespace {

struct RobotsCase {
  const char* name;
  std::string robots;
  std::string agent;
  std::string path;
  bool allowed;
};

void PrintTo(const RobotsCase& c, std::ostream* os) { *os << c.name; }

class RobotsTxt : public ::testing::TestWithParam<RobotsCase> {};

TEST_P(RobotsTxt, AllowsWhatTheRulesForTheAgentAllow) {
  const RobotsCase& c = GetParam();
  EXPECT_EQ(Allowed(ParseRobots(c.robots, c.agent), c.path), c.allowed) << c.robots;
}

// RFC 9309 2.2.1: groups of the same agent merged.
const std::string kMerged =
    "user-agent: ExampleBot\ndisallow: /foo\ndisallow: /bar\n\n"
    "user-agent: ExampleBot\ndisallow: /baz\n";
// RFC 9309 5.1.
const std::string kSimple =
    "User-Agent: *\nDisallow: *.gif$\nDisallow: /example/\nAllow: /publications/\n\n"
    "User-Agent: foobot\nDisallow:/\nAllow:/example/page.html\nAllow:/example/allowed.gif\n\n"
    "User-Agent: barbot\nUser-Agent: bazbot\nDisallow: /example/page.html\n\n"
    "User-Agent: quxbot\n\nEOF\n";
// RFC 9309 5.2.
const std::string kLongest =
    "User-Agent: foobot\nAllow: /example/page/\nDisallow: /example/page/disallowed.gif\n";
const std::string kWildcards =
    "User-agent: *\nDisallow: /fish*.php\nDisallow: /*.cgi$\nDisallow: /*?\n"
    "Disallow: /a$b\n";
// Percent-encoding compared in one form (RFC 9309 2.2.2 and 2.2.3).
const std::string kEncoded =
    "User-agent: *\nDisallow: /foo/bar/\xE3\x83\x84\nDisallow: /enc/%E3%83%84\n"
    "Disallow: /foo/bar/%62%61%7A\nDisallow: /slash/a%2fb\nDisallow: /file-%2A.html\n"
    "Disallow: /foo-%24\n";

INSTANTIATE_TEST_SUITE_P(
    Table, RobotsTxt,
    ::testing::Values(
        RobotsCase{"MergedFoo", kMerged, "ExampleBot", "/foo", false},
        RobotsCase{"MergedBar", kMerged, "ExampleBot", "/bar/x", false},
        RobotsCase{"MergedBaz", kMerged, "ExampleBot", "/baz", false},
        RobotsCase{"MergedOther", kMerged, "ExampleBot", "/qux", true},
        RobotsCase{"FoobotPage", kSimple, "foobot", "/example/page.html", true},
        RobotsCase{"FoobotGif", kSimple, "foobot", "/example/allowed.gif", true},
        RobotsCase{"FoobotElse", kSimple, "foobot", "/example/disallowed.gif", false},
        RobotsCase{"FoobotRoot", kSimple, "foobot", "/", false},
        RobotsCase{"BarbotPage", kSimple, "barbot", "/example/page.html", false},
        RobotsCase{"BazbotPage", kSimple, "bazbot", "/example/page.html", false},
        RobotsCase{"BazbotNotStar", kSimple, "bazbot", "/example/x.gif", true},
        RobotsCase{"QuxbotEmptyGroup", kSimple, "quxbot", "/example/page.html", true},
        RobotsCase{"OtherStarFolder", kSimple, "otherbot", "/example/page.html", false},
        RobotsCase{"OtherStarGif", kSimple, "otherbot", "/a.gif", false},
        RobotsCase{"OtherLongerAllowOverGif", kSimple, "otherbot", "/publications/a.gif", true},
        RobotsCase{"OtherStarGifNotEnd", kSimple, "otherbot", "/a.gifs", true},
        RobotsCase{"OtherStarAllow", kSimple, "otherbot", "/publications/a.html", true},
        RobotsCase{"LongestAllow", kLongest, "foobot", "/example/page/", true},
        RobotsCase{"LongestDisallow", kLongest, "foobot", "/example/page/disallowed.gif", false},
        RobotsCase{"TieGoesToAllow", "User-agent: *\nDisallow: /page\nAllow: /page\n", "x", "/page",
                   true},
        RobotsCase{"TieGoesToAllowEitherOrder", "User-agent: *\nAllow: /p*\nDisallow: /p*\n", "x",
                   "/page", true},
        RobotsCase{"PrefixMatch", "User-agent: *\nDisallow: /tmp\n", "x", "/tmp.html", false},
        RobotsCase{"SlashNotMatched", "User-agent: *\nDisallow: /tmp/\n", "x", "/tmp", true},
        RobotsCase{"CaseSensitivePath", "User-agent: *\nDisallow: /Tmp\n", "x", "/tmp", true},
        RobotsCase{"StarRun", kWildcards, "x", "/fishheads/catfish.php?id=1", false},
        RobotsCase{"StarEmptyRun", kWildcards, "x", "/fish.php", false},
        RobotsCase{"StarCaseSensitive", kWildcards, "x", "/Fish.PHP", true},
        RobotsCase{"DollarEnds", kWildcards, "x", "/cgi/run.cgi", false},
        RobotsCase{"DollarNotAtEnd", kWildcards, "x", "/run.cgix", true},
        RobotsCase{"QueryRule", kWildcards, "x", "/list?page=2", false},
        RobotsCase{"QueryRuleNoQuery", kWildcards, "x", "/list", true},
        RobotsCase{"DollarInsideIsLiteral", kWildcards, "x", "/a$b", false},
        RobotsCase{"DollarInsideNotEnd", kWildcards, "x", "/a", true},
        RobotsCase{"RawUtf8PatternEncodedPath", kEncoded, "x", "/foo/bar/%E3%83%84", false},
        RobotsCase{"LowercaseHexPath", kEncoded, "x", "/foo/bar/%e3%83%84", false},
        RobotsCase{"EncodedPatternEncodedPath", kEncoded, "x", "/enc/%E3%83%84", false},
        RobotsCase{"UnreservedDecoded", kEncoded, "x", "/foo/bar/baz", false},
        RobotsCase{"UnreservedDecodedInPath", "User-agent: *\nDisallow: /~joe/\n", "x",
                   "/%7Ejoe/index.html", false},
        RobotsCase{"EncodedSlashBothSides", kEncoded, "x", "/slash/a%2Fb", false},
        RobotsCase{"EncodedSlashIsNoSlash", kEncoded, "x", "/slash/a/b", true},
        RobotsCase{"EncodedStarIsLiteral", kEncoded, "x", "/file-*.html", false},
        RobotsCase{"EncodedStarNoWildcard", kEncoded, "x", "/file-x.html", true},
        RobotsCase{"EncodedDollarIsLiteral", kEncoded, "x", "/foo-$", false},
        RobotsCase{"EncodedDollarNoEnd", kEncoded, "x", "/foo-x", true},
        RobotsCase{"AgentAnyCase", "User-agent: LIRREVO\nDisallow: /\n", "lirrevo", "/a", false},
        RobotsCase{"AgentWithVersion", "User-agent: Lirrevo/2.1\nDisallow: /\n", "lirrevo", "/a",
                   false},
        RobotsCase{"AgentIsWholeToken",
                   "User-agent: lirrevobot\nDisallow: /\n\nUser-agent: *\nDisallow: /b\n",
                   "lirrevo", "/a", true},
        RobotsCase{"NamedGroupOverStar",
                   "User-agent: *\nDisallow: /\n\nUser-agent: lirrevo\nDisallow: /private\n",
                   "lirrevo", "/public", true},
        RobotsCase{"StarAndNameInOneGroup", "User-agent: other\nUser-agent: *\nDisallow: /x\n",
                   "lirrevo", "/x", false},
        RobotsCase{"RulesEndAGroup",
                   "User-agent: lirrevo\nDisallow: /a\nUser-agent: other\nDisallow: /b\n",
                   "lirrevo", "/b", true},
        RobotsCase{"NoGroupForAgent", "User-agent: other\nDisallow: /\n", "lirrevo", "/", true},
        RobotsCase{"RulesBeforeAnyGroupIgnored", "Disallow: /\nUser-agent: *\nDisallow: /x\n", "x",
                   "/a", true},
        RobotsCase{"EmptyDisallow", "User-agent: *\nDisallow:\n", "x", "/a", true},
        RobotsCase{"RobotsTxtAlwaysAllowed", "User-agent: *\nDisallow: /\n", "x", "/robots.txt",
                   true},
        RobotsCase{"BomAndCrlf", "\xEF\xBB\xBFUser-agent: *\r\nDisallow: /private\r\n", "x",
                   "/private/a", false},
        RobotsCase{"CrOnly", "User-agent: *\rDisallow: /private\r", "x", "/private", false},
        RobotsCase{"SpacesAndKeyCase", "  USER-AGENT :  *  \n\tDISALLOW\t:\t/p  \n", "x", "/p",
                   false},
        RobotsCase{"Comments",
                   "# all of them\nUser-agent: * # everyone\nDisallow: /a # not a\n#Disallow: /b\n",
                   "x", "/b", true},
        RobotsCase{"CommentCutsPattern", "User-agent: *\nDisallow: /a#b\n", "x", "/a", false},
        RobotsCase{"UnknownLinesIgnored",
                   "User-agent: *\nHost: example.com\nNonsense\nDisallow: /a\n", "x", "/a", false},
        RobotsCase{"EmptyFile", "", "lirrevo", "/anything", true},
        RobotsCase{"EmptyPath", "User-agent: *\nDisallow: /\n", "x", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RobotsTxt, TakesTheCrawlDelayOfTheMatchingGroup) {
  const std::string robots =
      "User-agent: *\nCrawl-delay: 10\n\nUser-agent: lirrevo\nCrawl-delay: 0.5\nDisallow: /a\n";
  EXPECT_EQ(ParseRobots(robots, "lirrevo").crawl_delay, 0.5);
  EXPECT_EQ(ParseRobots(robots, "other").crawl_delay, 10.0);
  EXPECT_EQ(ParseRobots("User-agent: *\nDisallow: /\n", "x").crawl_delay, std::nullopt);
  EXPECT_EQ(ParseRobots("User-agent: *\nCrawl-delay: soon\n", "x").crawl_delay, std::nullopt);
  EXPECT_EQ(ParseRobots("User-agent: *\nCrawl-delay: -1\n", "x").crawl_delay, std::nullopt);
  // A crawl-delay line is a member: the next user-agent line starts a group.
  EXPECT_TRUE(Allowed(
      ParseRobots("User-agent: a\nCrawl-delay: 1\nUser-agent: b\nDisallow: /\n", "a"), "/x"));
}

TEST(RobotsTxt, CollectsSitemapsFromAnywhere) {
  const std::string robots =
      "Sitemap: https://example.com/a.xml\nUser-agent: other\nSitemap: https://example.com/b.xml\n"
      "Disallow: /\nsitemap:https://example.com/a.xml\n";
  const RobotsRules rules = ParseRobots(robots, "lirrevo");
  EXPECT_EQ(rules.sitemaps,
            (std::vector<std::string>{"https://example.com/a.xml", "https://example.com/b.xml"}));
  EXPECT_TRUE(rules.rules.empty());
  // The sitemap line between user-agent lines does not split their group.
  EXPECT_FALSE(Allowed(
      ParseRobots("User-agent: a\nSitemap: https://e.com/s.xml\nUser-agent: b\nDisallow: /\n", "a"),
      "/x"));
}

TEST(RobotsTxt, ReadsOnlyTheFirst500KiB) {
  const std::string head = "User-agent: *\nDisallow: /early\n";
  // The limit falls after "Disallow: /" of the last line: that part is not read as a rule.
  const std::string padding(500 * 1024 - head.size() - 1 - 11, '#');
  const RobotsRules rules = ParseRobots(head + padding + "\nDisallow: /late\n", "x");
  EXPECT_FALSE(Allowed(rules, "/early"));
  EXPECT_TRUE(Allowed(rules, "/late"));
  EXPECT_TRUE(Allowed(rules, "/other"));
}

TEST(RobotsTxt, DisallowAllLeavesOnlyRobotsTxt) {
  EXPECT_FALSE(Allowed(DisallowAll(), "/"));
  EXPECT_FALSE(Allowed(DisallowAll(), "/page?q=1"));
  EXPECT_TRUE(Allowed(DisallowAll(), "/robots.txt"));
  EXPECT_TRUE(Allowed(RobotsRules{}, "/page"));
}

TEST(RobotsTxt, MatchesLongPathsAndPatternsQuickly) {
  const std::string path = "/" + std::string(4000, 'a');
  std::string pattern = "/";
  for (int i = 0; i < 50; ++i) pattern += "*a";
  const std::string robots = "User-agent: *\nDisallow: " + pattern + "*b\n";
  EXPECT_TRUE(Allowed(ParseRobots(robots, "x"), path));
}

}  // namespace
}  // namespace lirrevo::check
