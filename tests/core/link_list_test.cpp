#include "core/document/link_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/document/text_character.h"

namespace lirrevo {
namespace {

// "链接" and "共有链接数量：" in GBK.
const std::string kLink = "\xC1\xB4\xBD\xD3";
const std::string kPrefix = "\xB9\xB2\xD3\xD0\xC1\xB4\xBD\xD3\xCA\xFD\xC1\xBF\xA3\xBA";

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> links;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitLinksTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinksTable, GivesTheLinesBetweenCrLfPairs) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitLinks(c.text), c.links);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, SplitLinksTable,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OneLine", "L1", {"L1"}},
        SplitCase{"TwoLines", "L1\r\nL2", {"L1", "L2"}},
        SplitCase{"TrailingBreakAddsNoElement", "L1\r\nL2\r\n", {"L1", "L2"}},
        SplitCase{"OnlyABreak", "\r\n", {""}}, SplitCase{"TwoBreaks", "\r\n\r\n", {"", ""}},
        SplitCase{"LeadingBreak", "\r\nL1", {"", "L1"}},
        SplitCase{"BlankLineBetween", "L1\r\n\r\nL2", {"L1", "", "L2"}},
        SplitCase{"BlankLineAtEnd", "L1\r\n\r\n", {"L1", ""}},
        SplitCase{"LoneCrAndLfAreContent", "L1\rL2\nL3", {"L1\rL2\nL3"}},
        SplitCase{"CrBeforeBreakStays", "\r\r\n", {"\r"}},
        SplitCase{"LfCrIsContent", "a\n\rb", {"a\n\rb"}},
        SplitCase{"SpacesAndTabsKept", " a \t\r\n b ", {" a \t", " b "}},
        SplitCase{"DuplicatesKept", "x\r\nx", {"x", "x"}},
        SplitCase{"DoubleByteLines", kLink + "\r\n" + kLink, {kLink, kLink}},
        // 0x8D 0x0D is one character, so the CR it swallows starts no break.
        SplitCase{"BreakInsideCharacterIgnored", "a\x8D\r\nb", {"a\x8D\r\nb"}},
        SplitCase{"BreakAfterCharacterFound", "\x8D\x0D\r\nb", {"\x8D\x0D", "b"}},
        SplitCase{"LoneLeadByteAtEnd", "ab\xC1", {"ab\xC1"}},
        // The converter reads 0x80 alone as the euro sign: a line may end with it.
        SplitCase{"EuroSignEndsALine", "a\x80\r\nb", {"a\x80", "b"}},
        // Long enough for the sixteen-byte block scan to meet each case mid-block.
        SplitCase{"LongLinesAcrossBlocks",
                  "http://example.com/0123456789\r\nhttp://e.cn/" + kLink + "/abcdefgh\r\n\r\n",
                  {"http://example.com/0123456789", "http://e.cn/" + kLink + "/abcdefgh", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

// The split done the plain way, one character at a time.
std::vector<std::string> ReferenceSplit(const std::string& text) {
  std::vector<std::string> links;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos + 1 < text.size()) {
    if (text[pos] == '\r' && text[pos + 1] == '\n') {
      links.push_back(text.substr(start, pos - start));
      pos += 2;
      start = pos;
    } else {
      pos += TextCharacterLength(text, pos);
    }
  }
  if (start < text.size()) links.push_back(text.substr(start));
  return links;
}

// Texts made of the bytes that matter (CR, LF, lead bytes, plain bytes) in
// every arrangement the block-wise scan can meet, up to three blocks long.
TEST(SplitLinks, MatchesThePlainScanOnRandomTexts) {
  const char alphabet[] = {'\r', '\n', 'a', 'b', '\x80', '\x81', '\xC1', '\xFF'};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 50, ' ');
    for (char& c : text) c = alphabet[rng() % sizeof alphabet];
    ASSERT_EQ(SplitLinks(text), ReferenceSplit(text)) << ::testing::PrintToString(text);
  }
}

TEST(SplitLinks, TenThousandLines) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "http://example.com/page" + std::to_string(i) + "\r\n";
  const std::vector<std::string> links = SplitLinks(text);
  ASSERT_EQ(links.size(), 10000u);
  EXPECT_EQ(links.front(), "http://example.com/page0");
  EXPECT_EQ(links.back(), "http://example.com/page9999");
}

struct CaptionCase {
  std::int32_t count;
  std::string digits;
};

void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.count; }

class FormatLinkCountTable : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(FormatLinkCountTable, IsPrefixDigitsSuffix) {
  EXPECT_EQ(FormatLinkCount(GetParam().count),
            kPrefix + GetParam().digits + "  --->\xB5\xE3\xBB\xF7\xC9\xFA\xB3\xC9XML");
}

INSTANTIATE_TEST_SUITE_P(Counts, FormatLinkCountTable,
                         ::testing::Values(CaptionCase{0, "0"}, CaptionCase{1, "1"},
                                           CaptionCase{1234, "1234"}, CaptionCase{10000, "10000"},
                                           CaptionCase{2147483647, "2147483647"}));

struct CountCase {
  const char* name;
  std::int64_t line_breaks;
  bool text_after_last_break;
  std::int32_t count;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class LinkCountOfTable : public ::testing::TestWithParam<CountCase> {};

TEST_P(LinkCountOfTable, CountsBreaksAndAnOpenLastLine) {
  const CountCase& c = GetParam();
  EXPECT_EQ(LinkCountOf(c.line_breaks, c.text_after_last_break), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, LinkCountOfTable,
    ::testing::Values(CountCase{"EmptyText", 0, false, 0}, CountCase{"OneOpenLine", 0, true, 1},
                      CountCase{"BreaksOnly", 3, false, 3}, CountCase{"OpenLastLine", 3, true, 4},
                      CountCase{"ReachesTheCap", 2147483646, true, 2147483647},
                      CountCase{"CappedAtTheBreaks", 2147483647, true, 2147483647},
                      CountCase{"CappedFarBeyond", 5000000000, false, 2147483647}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateLinkCount, WritesTheCaptionOfTheCountOnce) {
  for (const std::int32_t count : {0, 7}) {
    std::vector<std::string> captions;
    UpdateLinkCount([count] { return count; },
                    [&](const std::string& caption) { captions.push_back(caption); });
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0], FormatLinkCount(count));
  }
}

}  // namespace
}  // namespace lirrevo
