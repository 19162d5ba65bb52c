#include "check/page_links.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "check/url.h"

namespace lirrevo::check {
namespace {

const std::string kPage = "https://example.com/a/b/page.html?x=1";

struct LinksCase {
  const char* name;
  std::string html;
  std::vector<std::string> links;
  bool nofollow = false;
};

void PrintTo(const LinksCase& c, std::ostream* os) { *os << c.name; }

class PageLinksOf : public ::testing::TestWithParam<LinksCase> {};

TEST_P(PageLinksOf, TakesTheLinksACrawlerFollows) {
  const LinksCase& c = GetParam();
  const PageLinks page = LinksOf(c.html, kPage);
  EXPECT_EQ(page.links, c.links) << c.html;
  EXPECT_EQ(page.nofollow, c.nofollow) << c.html;
}

using Links = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Table, PageLinksOf,
    ::testing::Values(
        LinksCase{"Parent", "<a href=\"../c\">c</a>", Links{"https://example.com/a/c"}},
        LinksCase{"Dot", "<a href=\"./d\">d</a>", Links{"https://example.com/a/b/d"}},
        LinksCase{"QueryOnly", "<a href=\"?q=2\">2</a>",
                  Links{"https://example.com/a/b/page.html?q=2"}},
        LinksCase{"SchemeRelative", "<a href=\"//other.org/p\">p</a>",
                  Links{"https://other.org/p"}},
        LinksCase{"RootRelative", "<a href=\"/top\">top</a>", Links{"https://example.com/top"}},
        LinksCase{"Absolute", "<a href=\"HTTP://example.net/x\">x</a>",
                  Links{"http://example.net/x"}},
        LinksCase{"FragmentDropped", "<a href=\"/p#part\">p</a>", Links{"https://example.com/p"}},
        LinksCase{"FragmentOnlyIsThePage", "<a href=\"#top\">top</a>", Links{kPage}},
        LinksCase{"SchemesLeftOut",
                  "<a href=\"javascript:void(0)\">j</a><a href=\" JavaScript:go()\">J</a>"
                  "<a href=\"mailto:me@example.com\">m</a><a href=\"tel:+123\">t</a>"
                  "<a href=\"data:text/html,hi\">d</a><a href=\"ftp://example.com/f\">f</a>",
                  Links{}},
        LinksCase{"EmptyLeftOut", "<a href=\"\">e</a><a href=\" \t \">b</a><a>none</a>", Links{}},
        LinksCase{"WhiteSpaceTrimmedAndRemoved",
                  "<a href=\"  /x \n\">x</a><a href=\"/a\tb\nc\">abc</a>",
                  Links{"https://example.com/x", "https://example.com/abc"}},
        LinksCase{"Entities", "<a href=\"/p?a=1&amp;b=2\">p</a>",
                  Links{"https://example.com/p?a=1&b=2"}},
        LinksCase{"Utf8Encoded", "<a href=\"caf\xC3\xA9 au lait\">c</a>",
                  Links{"https://example.com/a/b/caf%c3%a9%20au%20lait"}},
        LinksCase{"Latin1PageEncodedAsUtf8", "<a href=\"caf\xE9\">c</a>",
                  Links{"https://example.com/a/b/caf%c3%a9"}},
        LinksCase{"BaseAbsolute",
                  "<head><base href=\"https://cdn.example.org/base/\"></head><a href=\"img\">i</a>",
                  Links{"https://cdn.example.org/base/img"}},
        LinksCase{"BaseRelative", "<base href=\"../root/\"><a href=\"x\">x</a>",
                  Links{"https://example.com/a/root/x"}},
        LinksCase{"BaseAppliesToEarlierLinks", "<a href=\"x\">x</a><base href=\"/root/\">",
                  Links{"https://example.com/root/x"}},
        LinksCase{"OnlyTheFirstBase",
                  "<base target=\"_top\"><base href=\"/one/\"><base href=\"/two/\">"
                  "<a href=\"x\">x</a><a href=\"#f\">f</a>",
                  Links{"https://example.com/one/x", "https://example.com/one/"}},
        LinksCase{"BaseOfAnotherSchemeIgnored",
                  "<base href=\"javascript:void(0)\"><a href=\"x\">x</a>",
                  Links{"https://example.com/a/b/x"}},
        LinksCase{"LinkRels",
                  "<link rel=\"canonical\" href=\"/c\"><link rel=\"ALTERNATE\" hreflang=\"de\" "
                  "href=\"/de/\"><link rel=\" next\" href=\"/n\"><link rel=\"prev\" href=\"/p\">"
                  "<link rel=\"stylesheet\" href=\"/s.css\"><link rel=\"icon\" href=\"/i.ico\">"
                  "<link href=\"/norel\">",
                  Links{"https://example.com/c", "https://example.com/de/", "https://example.com/n",
                        "https://example.com/p"}},
        LinksCase{"RelList", "<link rel=\"prefetch  Next\" href=\"/n2\">",
                  Links{"https://example.com/n2"}},
        LinksCase{"IframeAndArea",
                  "<iframe src=\"/frame\"></iframe><map><area href=\"/area\" shape=\"rect\"></map>"
                  "<img src=\"/img.png\"><script src=\"/s.js\"></script>",
                  Links{"https://example.com/frame", "https://example.com/area"}},
        LinksCase{"Duplicates",
                  "<a href=\"/y\">y</a><a href=\"/x\">x</a><a href=\"/y#s\">y</a>"
                  "<a href=\"https://example.com/x\">x</a><link rel=canonical href=/y>",
                  Links{"https://example.com/y", "https://example.com/x"}},
        LinksCase{"Malformed",
                  "<div><p><a href=/one>one<a href='two'>two</b></div></span><table><a "
                  "href=\"/three\">3</a><tr><td><a href=/four>4</table><a href=\"/never",
                  Links{"https://example.com/one", "https://example.com/a/b/two",
                        "https://example.com/three", "https://example.com/four"}},
        LinksCase{"MetaNofollow", "<meta name=\"robots\" content=\"nofollow\"><a href=/x>x</a>",
                  Links{"https://example.com/x"}, true},
        LinksCase{"MetaNoindexNofollow", "<meta name=\"ROBOTS\" content=\"NOINDEX, NoFollow\">",
                  Links{}, true},
        LinksCase{"MetaNone", "<meta name=\"robots\" content=\"none\">", Links{}, true},
        LinksCase{"MetaNoindexAlone", "<meta name=\"robots\" content=\"noindex,noarchive\">",
                  Links{}, false},
        LinksCase{"MetaOtherName", "<meta name=\"googlebot\" content=\"nofollow\">", Links{},
                  false},
        LinksCase{"NoHtml", "", Links{}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// check/url's ResolveLink, which LinksOf joins links with.
struct ResolveCase {
  const char* name;
  std::string base, href;
  std::optional<std::string> link;
};

void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.name; }

class ResolveLinkOf : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveLinkOf, JoinsAsABrowserDoes) {
  const ResolveCase& c = GetParam();
  EXPECT_EQ(ResolveLink(c.base, c.href), c.link);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveLinkOf,
    ::testing::Values(
        ResolveCase{"Parent", kPage, "../../../../c", "https://example.com/c"},
        ResolveCase{"FragmentOnly", kPage, "#f", kPage},
        ResolveCase{"BaseFragmentDropped", "https://example.com/p#old", "?q",
                    "https://example.com/p?q"},
        ResolveCase{"BaseQueryAndFragment", "https://example.com/p?x#old", "?q",
                    "https://example.com/p?q"},
        ResolveCase{"NoPath", "https://example.com", "x", "https://example.com/x"},
        ResolveCase{"FolderBase", "https://example.com/dir/", "sub/x",
                    "https://example.com/dir/sub/x"},
        ResolveCase{"Blank", kPage, " \t", std::nullopt},
        ResolveCase{"Empty", kPage, "", std::nullopt},
        ResolveCase{"SchemeCase", kPage, "HTTPS://Example.com/A#b", "https://Example.com/A"},
        ResolveCase{"Controls", kPage, " \n/p\tq \r\n", "https://example.com/pq"},
        ResolveCase{"Mailto", kPage, "mailto:me@example.com", std::nullopt},
        ResolveCase{"Ftp", kPage, "ftp://example.com/f", std::nullopt},
        ResolveCase{"BadPort", kPage, "https://example.com:99999/", std::nullopt},
        ResolveCase{"PercentKept", kPage, "/a%2fb?c=%zz", "https://example.com/a%2fb?c=%zz"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnescapedTest, DecodesEveryEscapeOfTwoHexDigits) {
  EXPECT_EQ(Unescaped("/%E6%96%87/a%2Fb%2f"), "/\xE6\x96\x87/a/b/");
  EXPECT_EQ(Unescaped("a%00b"), std::string("a\0b", 3));
  EXPECT_EQ(Unescaped("a+b%20c"), "a+b c");
}

TEST(UnescapedTest, KeepsAPercentThatNoTwoHexDigitsFollow) {
  EXPECT_EQ(Unescaped(""), "");
  EXPECT_EQ(Unescaped("%"), "%");
  EXPECT_EQ(Unescaped("a%4"), "a%4");
  EXPECT_EQ(Unescaped("%zz%41"), "%zzA");
  EXPECT_EQ(Unescaped("%%41"), "%A");
  EXPECT_EQ(Unescaped("%41%"), "A%");
  // Only the length given is read: no terminating zero is looked for.
  EXPECT_EQ(Unescaped(std::string_view("%41%42", 5)), "A%4");
}

}  // namespace
}  // namespace lirrevo::check
