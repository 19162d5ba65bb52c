#include "core/document/sitemap_document.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/support/document_text.h"
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

struct BoxCase {
  const char* name;
  std::string box;                // GBK, CR LF line breaks
  std::vector<std::string> locs;  // UTF-8, escaped
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class BuildSitemapDocumentBoxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BuildSitemapDocumentBoxes, GivesOneEntryPerLine) {
  const BoxCase& c = GetParam();
  EXPECT_EQ(test::DocumentOfText(c.box, DateTime{2016, 1, 5}),
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
                      BoxCase{"EuroSignBeforeBreak", "\x80\r\nb", {"\xE2\x82\xAC", "b"}},
                      BoxCase{"PlaceholdersStayLiteral",
                              kDatePh + "\r\n" + kLinkPh,
                              {"[\xE5\xBD\x93\xE5\x89\x8D\xE6\x97\xA5\xE6\x9C\x9F]",
                               "[\xE9\x93\xBE\xE6\x8E\xA5\xE5\x9C\xB0\xE5\x9D\x80]"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildSitemapDocument, IsEmptyWhenTheDocumentCannotBeConverted) {
  EXPECT_EQ(test::DocumentOfText("a\xFF", DateTime{2015, 2, 12}), "");
}

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

// Every character of the box reaches the file as its UTF-8.
TEST(BuildSitemapDocument, WritesEveryCharacterAsItsUtf8) {
  const auto build = [](std::string box) {
    return test::DocumentOfText(box, DateTime{2026, 12, 8});
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

constexpr DateTime kDate{2015, 2, 12};

// Keeps every part's bytes; fails the Write call numbered fail_at (from 1).
class RecordingSink : public PartSink {
 public:
  bool BeginPart(std::size_t number) override {
    parts.emplace_back();
    return number == parts.size();
  }
  bool Write(std::string_view chunk) override {
    parts.back() += chunk;
    return ++writes != fail_at;
  }
  bool EndPart() override { return true; }

  std::vector<std::string> parts;
  std::size_t writes = 0;
  std::size_t fail_at = 0;
};

struct EscapeCase {
  std::string link, escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.link); }

class EscapeLinkTable : public ::testing::TestWithParam<EscapeCase> {};

// The loc of the entry of a box of one line, as the builder writes it.
std::string LocOf(std::string_view line) {
  RecordingSink sink;
  BuildSitemapDocument(line, LineBreaks::kCrLf, kDate, UrlsetOptions{}, sink);
  const std::string& document = sink.parts.at(0);
  const std::size_t begin = document.find("<loc>") + 5;
  return document.substr(begin, document.find("</loc>") - begin);
}

TEST_P(EscapeLinkTable, TurnsMarkupIntoEntities) {
  EXPECT_EQ(LocOf(GetParam().link), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Links, EscapeLinkTable,
    ::testing::Values(EscapeCase{"http://a.cn/x", "http://a.cn/x"},
                      EscapeCase{"a?x=1&y=2", "a?x=1&amp;y=2"},
                      EscapeCase{"<>\"'&", "&lt;&gt;&quot;&apos;&amp;"},
                      EscapeCase{" &amp; ", " &amp;amp; "},
                      // No second byte of a GB18030 or UTF-8 character is markup.
                      EscapeCase{"\xC1\xB4&\x81\x30\x89\x38<", "\xC1\xB4&amp;\x81\x30\x89\x38&lt;"},
                      EscapeCase{"\xE9\x93\xBE'", "\xE9\x93\xBE&apos;"},
                      EscapeCase{"\x80&\x80<", "\x80&amp;\x80&lt;"}, EscapeCase{kLinkPh, kLinkPh},
                      // A parser reads a raw CR in a loc as LF; the reference keeps it a CR.
                      EscapeCase{"a\rb\r", "a&#13;b&#13;"}));

struct SplitCase {
  const char* name;
  std::size_t max_urls;
  std::size_t max_bytes;
  std::vector<std::vector<std::string>> parts;
};

class BuildSitemapDocumentSplit : public testing::TestWithParam<SplitCase> {};

// A document with one entry for "a" has 221 bytes (header 52, entry 158,
// closing tag 11); with two, 379.
TEST_P(BuildSitemapDocumentSplit, CutsBetweenEntriesAtTheLimits) {
  const SplitCase& c = GetParam();
  RecordingSink sink;
  UrlsetOptions options;
  options.max_urls = c.max_urls;
  options.max_bytes = c.max_bytes;
  options.chunk_bytes = 100;
  const UrlsetResult result =
      BuildSitemapDocument("a\nb\nc\n", LineBreaks::kAny, kDate, options, sink);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(sink.parts.size(), c.parts.size());
  for (std::size_t i = 0; i < c.parts.size(); ++i) {
    EXPECT_EQ(sink.parts[i], test::ExpectedDocument(c.parts[i], "2015-2-12")) << i;
  }
  EXPECT_EQ(result.parts, c.parts.size());
  EXPECT_EQ(result.urls, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BuildSitemapDocumentSplit,
    testing::Values(SplitCase{"NoLimit", SIZE_MAX, SIZE_MAX, {{"a", "b", "c"}}},
                    SplitCase{"TwoUrls", 2, SIZE_MAX, {{"a", "b"}, {"c"}}},
                    SplitCase{"ExactlyTwoEntriesOfBytes", SIZE_MAX, 379, {{"a", "b"}, {"c"}}},
                    SplitCase{"OneByteLess", SIZE_MAX, 378, {{"a"}, {"b"}, {"c"}}},
                    SplitCase{
                        "AnEntryAloneTooLargeStillGoesOut", SIZE_MAX, 10, {{"a"}, {"b"}, {"c"}}},
                    SplitCase{"TheSmallerLimitCuts", 1, 379, {{"a"}, {"b"}, {"c"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildSitemapDocument, StandardFormSkipsEmptyLines) {
  RecordingSink sink;
  UrlsetOptions options;
  options.form = UrlsetForm::kStandard;
  const UrlsetResult result =
      BuildSitemapDocument("\na\n\n", LineBreaks::kAny, {2015, 2, 3}, options, sink);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.skipped_empty, 2u);
  EXPECT_EQ(sink.parts.at(0),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "  <urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\r\n" +
                test::ExpectedEntry("a", "2015-02-03") + "  </urlset>");
}

TEST(BuildSitemapDocument, AFailedWriteEndsTheRun) {
  RecordingSink sink;
  sink.fail_at = 2;
  UrlsetOptions options;
  options.chunk_bytes = 1;
  const UrlsetResult result =
      BuildSitemapDocument("a\nb\nc\n", LineBreaks::kAny, kDate, options, sink);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(sink.writes, 2u);
}

// The run stops as the part past max_parts would begin: the sink never sees it.
TEST(BuildSitemapDocument, StopsBeforeThePartPastTheLimit) {
  for (const std::size_t max_parts : {2, 3}) {
    RecordingSink sink;
    UrlsetOptions options;
    options.max_urls = 1;
    options.max_parts = max_parts;
    const UrlsetResult result =
        BuildSitemapDocument("a\nb\nc\n", LineBreaks::kAny, kDate, options, sink);
    EXPECT_EQ(result.ok, max_parts == 3);
    EXPECT_EQ(result.too_many_parts, max_parts == 2);
    EXPECT_EQ(sink.parts.size(), max_parts);
  }
}

// Past the 256 KB that the box's check takes at a time, its lines ended by
// `end`.
std::string LongBox(const std::string& end = "\r\n") {
  std::string box;
  for (int i = 0; i < 20000; ++i) box += "http://a.cn/&<" + std::to_string(i) + end;
  return box;
}

// The box's check counts what the build then hands on, and the size of the
// one document, without making it: for the window's box, cut at CR LF, and
// the page's, cut at any line break, whichever break ends its blocks.
TEST(CheckBoxUtf8, CountsWhatTheBuildHandsOn) {
  const std::vector<std::string> boxes = {
      "", "\r\n", "a\r\nb\rc\r\n&", "\n\na\r\r\nb", LongBox(), LongBox("\n"), LongBox("\r")};
  for (const LineBreaks breaks : {LineBreaks::kCrLf, LineBreaks::kAny}) {
    for (const std::string& box : boxes) {
      for (const std::size_t max_urls : {std::size_t{2}, std::size_t{7000}, SIZE_MAX}) {
        UrlsetOptions options;
        options.max_urls = max_urls;
        options.max_bytes = 300000;
        RecordingSink parts, whole;
        const UrlsetResult built = BuildSitemapDocument(box, breaks, kDate, options, parts);
        BuildSitemapDocument(box, breaks, kDate, UrlsetOptions{}, whole);
        const std::optional<UrlsetResult> counted = CheckBoxUtf8(box, breaks, kDate, options);
        ASSERT_TRUE(counted);
        EXPECT_EQ(std::tie(counted->parts, counted->urls, counted->most_urls, counted->most_bytes),
                  std::tie(built.parts, built.urls, built.most_urls, built.most_bytes));
        EXPECT_EQ(counted->whole_bytes, whole.parts.at(0).size());
      }
    }
  }
}

// NUL, invalid UTF-8, a character without a code in the system's text, a
// noncharacter: in the first line or past the first block.
TEST(CheckBoxUtf8, RefusesALineTheDocumentCannotHold) {
  for (const std::string& bad : {std::string("a\0", 2), std::string("\xFF"),
                                 std::string("\xEE\x9E\x8D"), std::string("\xEF\xBF\xBE")}) {
    for (const LineBreaks breaks : {LineBreaks::kCrLf, LineBreaks::kAny}) {
      EXPECT_FALSE(CheckBoxUtf8(bad + "\r\nb", breaks, kDate, UrlsetOptions{}));
      EXPECT_FALSE(CheckBoxUtf8(LongBox("\n") + bad, breaks, kDate, UrlsetOptions{}));
    }
  }
}

TEST(BuildSitemapIndex, ListsEveryLocEscapedInBothForms) {
  const std::vector<std::string> locs = {"https://e.cn/d-1.xml?a&b", "https://e.cn/d-2.xml"};
  const std::string entries =
      "    <sitemap>\r\n        <loc>https://e.cn/d-1.xml?a&amp;b</loc>\r\n"
      "        <lastmod>LASTMOD</lastmod>\r\n    </sitemap>\r\n"
      "    <sitemap>\r\n        <loc>https://e.cn/d-2.xml</loc>\r\n"
      "        <lastmod>LASTMOD</lastmod>\r\n    </sitemap>\r\n";
  const auto dated = [&](const std::string& date) {
    std::string text = entries;
    for (std::size_t at; (at = text.find("LASTMOD")) != std::string::npos;) {
      text.replace(at, 7, date);
    }
    return text;
  };
  EXPECT_EQ(BuildSitemapIndex(locs, {2015, 2, 3}, UrlsetForm::kDeadLink),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <sitemapindex>\r\n" +
                dated("2015-2-3") + "  </sitemapindex>");
  EXPECT_EQ(BuildSitemapIndex(locs, {2015, 2, 3}, UrlsetForm::kStandard),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "  <sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\r\n" +
                dated("2015-02-03") + "  </sitemapindex>");
}

}  // namespace
}  // namespace lirrevo
