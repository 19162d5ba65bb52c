#include "core/urlset_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/expected_document.h"

namespace lirrevo {
namespace {

using test::ExpectedDocument;

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

struct ListCase {
  const char* name;
  std::string list;
  ListEncoding encoding;
  std::vector<std::string> locs;  // as written, escaped
};

class StreamUrlsetList : public testing::TestWithParam<ListCase> {};

TEST_P(StreamUrlsetList, WritesEachLineAsUtf8) {
  const ListCase& c = GetParam();
  RecordingSink sink;
  UrlsetOptions options;
  options.chunk_bytes = 7;  // many chunks, cut anywhere
  const UrlsetResult result = StreamUrlset(c.list, c.encoding, kDate, options, sink);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(sink.parts.size(), 1u);
  EXPECT_EQ(sink.parts[0], ExpectedDocument(c.locs, "2015-2-12"));
  EXPECT_EQ(result.urls, c.locs.size());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StreamUrlsetList,
    testing::Values(ListCase{"Empty", "", ListEncoding::kUtf8, {}},
                    ListCase{"EveryBreakAndNoFinalLine",
                             "a\r\nb\nc\r\rd\n",
                             ListEncoding::kUtf8,
                             {"a", "b", "c", "", "d"}},
                    ListCase{"MarkupAfterUtf8Characters",
                             "\xE9\x93\xBE&<>\"'\t\xF0\x9F\x98\x80&",
                             ListEncoding::kUtf8,
                             {"\xE9\x93\xBE&amp;&lt;&gt;&quot;&apos;\t\xF0\x9F\x98\x80&amp;"}},
                    // 0x81 0x40: the second byte is '@'; 0x80 alone is the euro sign.
                    ListCase{"GbkTrailBytesInTheAsciiRange",
                             "x\x81\x40&\xC1\xB4\r\n\x80y",
                             ListEncoding::kGbk,
                             {"x\xE4\xB8\x82&amp;\xE9\x93\xBE",
                              "\xE2\x82\xAC"
                              "y"}},
                    ListCase{"Gb18030FourBytes",
                             "\x95\x32\x82\x36|",
                             ListEncoding::kGb18030,
                             {"\xF0\xA0\x80\x80|"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListIsWritable, RefusesWhatNoDocumentCanHold) {
  const struct {
    std::string list;
    ListEncoding encoding;
    bool writable;
  } cases[] = {
      {"ok\n\xE2\x82\xAC", ListEncoding::kUtf8, true},
      {"a\n\xC3(", ListEncoding::kUtf8, false},   // invalid UTF-8
      {"a\xC0\xAF", ListEncoding::kUtf8, false},  // overlong '/'
      {std::string("a\0b", 3), ListEncoding::kUtf8, false},
      {"a\x0C", ListEncoding::kUtf8, false},         // form feed
      {"\xEF\xBF\xBE", ListEncoding::kUtf8, false},  // U+FFFE
      {"\x81\n", ListEncoding::kGbk, false},         // a lead byte before LF
      {"ab\xC1", ListEncoding::kGbk, false},         // ends inside a character
      {"\x80", ListEncoding::kGb18030, false},       // GBK's euro is not GB18030
      {"\x80", ListEncoding::kGbk, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListIsWritable(c.list, c.encoding), c.writable) << c.list;
  }
}

TEST(StreamUrlset, BadInputHandsOnNothing) {
  RecordingSink sink;
  const UrlsetResult result =
      StreamUrlset("a\nb\n\xFF\n", ListEncoding::kUtf8, kDate, UrlsetOptions{}, sink);
  EXPECT_FALSE(result.input_valid);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(sink.parts.empty());
}

struct SplitCase {
  const char* name;
  std::size_t max_urls;
  std::size_t max_bytes;
  std::vector<std::vector<std::string>> parts;
};

class StreamUrlsetSplit : public testing::TestWithParam<SplitCase> {};

// A document with one entry for "a" has 221 bytes (header 52, entry 158,
// closing tag 11); with two, 379.
TEST_P(StreamUrlsetSplit, CutsBetweenEntriesAtTheLimits) {
  const SplitCase& c = GetParam();
  RecordingSink sink;
  UrlsetOptions options;
  options.max_urls = c.max_urls;
  options.max_bytes = c.max_bytes;
  options.chunk_bytes = 100;
  const UrlsetResult result = StreamUrlset("a\nb\nc\n", ListEncoding::kUtf8, kDate, options, sink);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(sink.parts.size(), c.parts.size());
  for (std::size_t i = 0; i < c.parts.size(); ++i) {
    EXPECT_EQ(sink.parts[i], ExpectedDocument(c.parts[i], "2015-2-12")) << i;
  }
  EXPECT_EQ(result.parts, c.parts.size());
  EXPECT_EQ(result.urls, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StreamUrlsetSplit,
    testing::Values(SplitCase{"NoLimit", SIZE_MAX, SIZE_MAX, {{"a", "b", "c"}}},
                    SplitCase{"TwoUrls", 2, SIZE_MAX, {{"a", "b"}, {"c"}}},
                    SplitCase{"ExactlyTwoEntriesOfBytes", SIZE_MAX, 379, {{"a", "b"}, {"c"}}},
                    SplitCase{"OneByteLess", SIZE_MAX, 378, {{"a"}, {"b"}, {"c"}}},
                    SplitCase{
                        "AnEntryAloneTooLargeStillGoesOut", SIZE_MAX, 10, {{"a"}, {"b"}, {"c"}}},
                    SplitCase{"TheSmallerLimitCuts", 1, 379, {{"a"}, {"b"}, {"c"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StreamUrlset, StandardFormSkipsEmptyLines) {
  RecordingSink sink;
  UrlsetOptions options;
  options.form = UrlsetForm::kStandard;
  const UrlsetResult result =
      StreamUrlset("\na\n\n", ListEncoding::kUtf8, {2015, 2, 3}, options, sink);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.skipped_empty, 2u);
  EXPECT_EQ(sink.parts.at(0),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "  <urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\r\n" +
                test::ExpectedEntry("a", "2015-02-03") + "  </urlset>");
}

TEST(StreamUrlset, AFailedWriteEndsTheRun) {
  RecordingSink sink;
  sink.fail_at = 2;
  UrlsetOptions options;
  options.chunk_bytes = 1;
  const UrlsetResult result = StreamUrlset("a\nb\nc\n", ListEncoding::kUtf8, kDate, options, sink);
  EXPECT_TRUE(result.input_valid);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(sink.writes, 2u);
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
