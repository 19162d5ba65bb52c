#include "core/sitemap_document.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/link_list.h"
#include "core/output_encoding.h"

namespace lirrevo {
namespace {

// GBK: "[当前日期]", "[链接地址]", "链接".
const std::string kDatePh = "[\xB5\xB1\xC7\xB0\xC8\xD5\xC6\xDA]";
const std::string kLinkPh = "[\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]";
const std::string kLink = "\xC1\xB4\xBD\xD3";

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "  <urlset>\r\n";
const std::string kClosing = "  </urlset>";

std::string Entry(const std::string& loc, const std::string& date) {
  return "    <url>\r\n"
         "        <loc>" +
         loc +
         "</loc>\r\n"
         "        <lastmod>" +
         date +
         "</lastmod>\r\n"
         "        <changefreq>always</changefreq>\r\n"
         "        <priority>1.0</priority>\r\n"
         "    </url>\r\n";
}

// The document filled the slow way: the template copied and ReplaceAll'd per link.
std::string ReferenceText(const std::vector<std::string>& links, const std::string& date) {
  std::string text(SitemapHeader);
  for (const std::string& link : links) {
    const std::string dated = ReplaceAll(UrlEntryTemplate, DatePlaceholder, date);
    text += ReplaceAll(dated, LinkPlaceholder, EscapeLink(link));
  }
  return text + std::string(SitemapClosing);
}

TEST(Constants, HaveTheirFixedLengths) {
  EXPECT_EQ(SitemapHeader.size(), 52u);
  EXPECT_EQ(UrlEntryTemplate.size(), 168u);
  EXPECT_EQ(SitemapClosing.size(), 11u);
  EXPECT_EQ(DatePlaceholder, kDatePh);
  EXPECT_EQ(LinkPlaceholder, kLinkPh);
  EXPECT_EQ(std::string(UrlEntryTemplate), Entry(kLinkPh, kDatePh));
}

struct ReplaceCase {
  const char* name;
  std::string text, pattern, replacement, result;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

class ReplaceAllTable : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTable, Replaces) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAllTable,
    ::testing::Values(ReplaceCase{"EmptyText", "", "a", "b", ""},
                      ReplaceCase{"EmptyPatternCopies", "abc", "", "x", "abc"},
                      ReplaceCase{"Every", "a-b-c", "-", "+", "a+b+c"},
                      ReplaceCase{"NoOverlap", "aaa", "aa", "b", "ba"},
                      ReplaceCase{"ReplacementNotRescanned", "ab", "a", "aa", "aab"},
                      ReplaceCase{"EmptyReplacementDeletes", "a-b-", "-", "", "ab"},
                      ReplaceCase{"CaseSensitive", "Ab ab", "ab", "x", "Ab x"},
                      ReplaceCase{"PatternLongerThanRest", "abc", "cd", "x", "abc"},
                      // 0xB5 0xB1 is one character: the B1 inside it is not matched.
                      ReplaceCase{"NeverInsideACharacter", "\xB5\xB1\xB1", "\xB1", "x",
                                  "\xB5\xB1x"},
                      ReplaceCase{"LoneLeadByteAtEnd", "a\xC1", "\xC1", "x", "ax"},
                      ReplaceCase{"EuroSignIsOneByte",
                                  "\x80"
                                  "ab",
                                  "ab", "x", "\x80x"},
                      ReplaceCase{"DoubleBytePattern", "x" + kLink + "y", kLink, "L", "xLy"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DateCase {
  DateTime value;
  std::string text;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.text; }

class FormatDateTable : public ::testing::TestWithParam<DateCase> {};

TEST_P(FormatDateTable, WritesFullYearAndNoLeadingZeros) {
  EXPECT_EQ(FormatDate(GetParam().value, LastmodDateFormat), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Dates, FormatDateTable,
                         ::testing::Values(DateCase{{2015, 2, 12}, "2015-2-12"},
                                           DateCase{{2015, 11, 3}, "2015-11-3"},
                                           DateCase{{2016, 1, 5}, "2016-1-5"},
                                           DateCase{{2026, 12, 31, 23, 59, 59}, "2026-12-31"}));

TEST(FormatDate, ReplacesYearThenMonthThenDay) {
  // The year's digits are not rescanned for %m or %d; other text is copied.
  EXPECT_EQ(FormatDate({2015, 2, 12}, "%d.%m.%y %Y %%y"), "12.2.2015 %Y %2015");
}

struct EscapeCase {
  std::string link, escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.escaped.size() << " bytes"; }

class EscapeLinkTable : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeLinkTable, TurnsMarkupIntoEntities) {
  EXPECT_EQ(EscapeLink(GetParam().link), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Links, EscapeLinkTable,
    ::testing::Values(EscapeCase{"", ""}, EscapeCase{"http://a.cn/x", "http://a.cn/x"},
                      EscapeCase{"a?x=1&y=2", "a?x=1&amp;y=2"},
                      EscapeCase{"<>\"'&", "&lt;&gt;&quot;&apos;&amp;"},
                      EscapeCase{" &amp; ", " &amp;amp; "},
                      // 0x81 0x26 is one (invalid) character: its second byte is no ampersand.
                      EscapeCase{"\x81&&", "\x81&&amp;"}, EscapeCase{"\x80&", "\x80&amp;"},
                      EscapeCase{kLinkPh, kLinkPh}));

TEST(BuildSitemapText, EmptyListIsThreeLinesOf63Bytes) {
  const std::string text = BuildSitemapText({}, "2015-2-12");
  EXPECT_EQ(text, kHeader + kClosing);
  EXPECT_EQ(text.size(), 63u);
}

TEST(BuildSitemapText, OneLinkGivesOneFilledEntry) {
  const std::string text = BuildSitemapText({"http://a.cn/1"}, "2015-2-12");
  EXPECT_EQ(text, kHeader + Entry("http://a.cn/1", "2015-2-12") + kClosing);
  EXPECT_EQ(text.size(), 63u + 148 + 9 + 13);
}

TEST(BuildSitemapText, LengthIs63PlusEntriesOfEscapedLinks) {
  const std::vector<std::string> links = {"", " a ", "x&y", kLink, "<b>"};
  std::size_t escaped = 0;
  for (const std::string& link : links) escaped += EscapeLink(link).size();
  EXPECT_EQ(BuildSitemapText(links, "2016-1-5").size(), 63 + links.size() * (148 + 8) + escaped);
}

TEST(BuildSitemapText, EntriesKeepOrderSpacesAndEmptyLinks) {
  const std::string text = BuildSitemapText({" a ", "", " a "}, "2016-1-5");
  EXPECT_EQ(text, kHeader + Entry(" a ", "2016-1-5") + Entry("", "2016-1-5") +
                      Entry(" a ", "2016-1-5") + kClosing);
}

TEST(BuildSitemapText, PlaceholdersInsideLinksStayLiteral) {
  const std::string text = BuildSitemapText({kDatePh, kLinkPh}, "2015-2-12");
  EXPECT_EQ(text, kHeader + Entry(kDatePh, "2015-2-12") + Entry(kLinkPh, "2015-2-12") + kClosing);
}

TEST(BuildSitemapText, EscapesMarkupSoTheDocumentStaysWellFormed) {
  const std::string text = BuildSitemapText({"http://a.cn/?x=1&y=<2>"}, "2015-2-12");
  EXPECT_EQ(text, kHeader + Entry("http://a.cn/?x=1&amp;y=&lt;2&gt;", "2015-2-12") + kClosing);
}

class BuildSitemapTextMatchesTemplateFilling : public ::testing::TestWithParam<std::string> {};

// Any date text, even one holding a placeholder or a lone lead byte, gives the
// bytes of filling the template with ReplaceAll entry by entry.
TEST_P(BuildSitemapTextMatchesTemplateFilling, ForOddDates) {
  const std::vector<std::string> links = {"", "a&b", kLinkPh, kDatePh + kLink, "\xC1"};
  EXPECT_EQ(BuildSitemapText(links, GetParam()), ReferenceText(links, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Dates, BuildSitemapTextMatchesTemplateFilling,
                         ::testing::Values("", "2015-2-12", kLinkPh, kLinkPh + kLinkPh, kDatePh,
                                           "\xC1", "[\xC1", "x\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]"));

TEST(BuildSitemapDocument, SplitsTheBoxAndDatesEveryEntryOnce) {
  int clock_reads = 0;
  const std::string bytes =
      BuildSitemapDocument([] { return std::optional<std::string>("a\r\n\r\n" + kLink + "\r\n"); },
                           [&] {
                             ++clock_reads;
                             return DateTime{2015, 11, 3};
                           });
  EXPECT_EQ(clock_reads, 1);
  EXPECT_EQ(bytes, kHeader + Entry("a", "2015-11-3") + Entry("", "2015-11-3") +
                       Entry("\xE9\x93\xBE\xE6\x8E\xA5", "2015-11-3") + kClosing);
}

// The document built straight from the box equals splitting it first.
TEST(BuildSitemapDocument, EqualsBuildingFromTheSplitList) {
  const char* parts[] = {"\r\n", "http://a.cn/x?a=1&b=2", "", " ", "\xC1\xB4", "<'\">", "\r", "\n"};
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    std::string box;
    for (std::size_t i = rng() % 12; i > 0; --i) box += parts[rng() % 8];
    const std::string expected = EncodeDocument(BuildSitemapText(SplitLinks(box), "2016-1-5"));
    ASSERT_EQ(BuildSitemapDocument([&] { return std::optional<std::string>(box); },
                                   [] {
                                     return DateTime{2016, 1, 5};
                                   }),
              expected);
  }
}

TEST(BuildSitemapDocument, EmptyBoxStillTakesTheDate) {
  int clock_reads = 0;
  const std::string bytes = BuildSitemapDocument([] { return std::optional<std::string>(""); },
                                                 [&] {
                                                   return ++clock_reads, DateTime{2015, 2, 12};
                                                 });
  EXPECT_EQ(clock_reads, 1);
  EXPECT_EQ(bytes, kHeader + kClosing);
}

TEST(BuildSitemapDocument, IsEmptyWhenTheDocumentCannotBeConverted) {
  EXPECT_EQ(BuildSitemapDocument([] { return std::optional<std::string>("a\xFF"); },
                                 [] {
                                   return DateTime{2015, 2, 12};
                                 }),
            "");
  EXPECT_EQ(BuildSitemapDocument([] { return std::optional<std::string>(); },
                                 [] {
                                   return DateTime{2015, 2, 12};
                                 }),
            "");
}

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

// A parser reads a raw CR in a loc as LF; the reference keeps it a CR.
TEST(EscapeLink, WritesACarriageReturnAsAReference) {
  EXPECT_EQ(EscapeLink("a\rb\r"), "a&#13;b&#13;");
  EXPECT_EQ(EscapeLink("\x81\r&"), "\x81\r&amp;");  // the CR is a second byte here
}

// Every character of the box reaches the file as its UTF-8.
TEST(BuildSitemapDocument, WritesEveryCharacterAsItsUtf8) {
  const auto build = [](std::string box) {
    return BuildSitemapDocument([&] { return std::optional<std::string>(box); },
                                [] {
                                  return DateTime{2026, 12, 8};
                                });
  };
  EXPECT_EQ(build("stra\x81\x30\x89\x38"
                  "e\r\n\x94\x39\xFC\x36\t\xA2\xE3\r\n"),
            std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <urlset>\r\n") +
                "    <url>\r\n        <loc>stra\xC3\x9F"
                "e</loc>\r\n"
                "        <lastmod>2026-12-8</lastmod>\r\n"
                "        <changefreq>always</changefreq>\r\n"
                "        <priority>1.0</priority>\r\n    </url>\r\n"
                "    <url>\r\n        <loc>\xF0\x9F\x98\x80\t\xE2\x82\xAC</loc>\r\n"
                "        <lastmod>2026-12-8</lastmod>\r\n"
                "        <changefreq>always</changefreq>\r\n"
                "        <priority>1.0</priority>\r\n    </url>\r\n  </urlset>");
}

}  // namespace
}  // namespace lirrevo
