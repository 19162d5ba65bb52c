#include "core/sitemap_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/expected_document.h"

namespace lirrevo {
namespace {

// GBK: "[当前日期]", "[链接地址]", "链接".
const std::string kDatePh = "[\xB5\xB1\xC7\xB0\xC8\xD5\xC6\xDA]";
const std::string kLinkPh = "[\xC1\xB4\xBD\xD3\xB5\xD8\xD6\xB7]";
const std::string kLink = "\xC1\xB4\xBD\xD3";

const std::string kHeader = test::kDocumentHeader;
const std::string kClosing = test::kDocumentClosing;

std::string Entry(const std::string& loc, const std::string& date) {
  return test::ExpectedEntry(loc, date);
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

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.link); }

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
  // Escaped, the links take 0 + 3 + 7 ("x&amp;y") + 4 + 9 ("&lt;b&gt;") bytes.
  const std::vector<std::string> links = {"", " a ", "x&y", kLink, "<b>"};
  EXPECT_EQ(BuildSitemapText(links, "2016-1-5").size(), 63u + 5 * (148 + 8) + 23);
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

struct OddDate {
  const char* name;
  std::string date;
  std::string lastmod_a;  // the lastmod of the entry for "a&b"
  std::string lastmod_b;  // and for "[当前日期]"
};

void PrintTo(const OddDate& c, std::ostream* os) { *os << c.name; }

class BuildSitemapTextOddDates : public ::testing::TestWithParam<OddDate> {};

// The date is filled in before the link, so a link placeholder inside the date
// takes the link too; nothing inserted is scanned again.
TEST_P(BuildSitemapTextOddDates, FillTheDateFirstAndNeverRescan) {
  const OddDate& c = GetParam();
  EXPECT_EQ(BuildSitemapText({"a&b", kDatePh}, c.date),
            kHeader + Entry("a&amp;b", c.lastmod_a) + Entry(kDatePh, c.lastmod_b) + kClosing);
}

INSTANTIATE_TEST_SUITE_P(Dates, BuildSitemapTextOddDates,
                         ::testing::Values(OddDate{"Empty", "", "", ""},
                                           OddDate{"Plain", "2015-2-12", "2015-2-12", "2015-2-12"},
                                           OddDate{"LinkPlaceholder", kLinkPh, "a&amp;b", kDatePh},
                                           OddDate{"TwoLinkPlaceholders", kLinkPh + kLinkPh,
                                                   "a&amp;ba&amp;b", kDatePh + kDatePh},
                                           OddDate{"DatePlaceholder", kDatePh, kDatePh, kDatePh},
                                           OddDate{"LoneLeadByte", "\xC1", "\xC1", "\xC1"},
                                           OddDate{"PlaceholderWithoutBracket", kLinkPh.substr(1),
                                                   kLinkPh.substr(1), kLinkPh.substr(1)}),
                         [](const auto& info) { return std::string(info.param.name); });

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

struct BoxCase {
  const char* name;
  std::string box;                // GBK, CR LF line breaks
  std::vector<std::string> locs;  // UTF-8, escaped
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class BuildSitemapDocumentBoxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BuildSitemapDocumentBoxes, GivesOneEntryPerLine) {
  const BoxCase& c = GetParam();
  EXPECT_EQ(BuildSitemapDocument([&] { return std::optional<std::string>(c.box); },
                                 [] {
                                   return DateTime{2016, 1, 5};
                                 }),
            test::ExpectedDocument(c.locs, "2016-1-5"));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, BuildSitemapDocumentBoxes,
    ::testing::Values(BoxCase{"Empty", "", {}}, BoxCase{"OnlyABreak", "\r\n", {""}},
                      BoxCase{"BlankLineBetween", "a\r\n\r\nb\r\n", {"a", "", "b"}},
                      BoxCase{"Query", "http://a.cn/x?a=1&b=2", {"http://a.cn/x?a=1&amp;b=2"}},
                      BoxCase{"SpacesAndMarkup", " \r\n<'\">", {" ", "&lt;&apos;&quot;&gt;"}},
                      // A parser would read a raw CR as LF: it is written as a reference.
                      BoxCase{"LoneCrAndLf", "\r\r\n\n\r\nx\ry", {"&#13;", "\n", "x&#13;y"}},
                      BoxCase{"Chinese",
                              "\xC1\xB4\r\n\xC1\xB4\xBD\xD3",
                              {"\xE9\x93\xBE", "\xE9\x93\xBE\xE6\x8E\xA5"}},
                      BoxCase{"EuroSignBeforeBreak", "\x80\r\nb", {"\xE2\x82\xAC", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

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
