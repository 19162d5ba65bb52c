#include "core/output_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace lirrevo {
namespace {

struct ConversionCase {
  const char* name;
  std::string gbk;
  std::string utf8;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class EncodeDocumentTable : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(EncodeDocumentTable, GivesTheUtf8Bytes) {
  EXPECT_EQ(EncodeDocument(GetParam().gbk), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeDocumentTable,
    ::testing::Values(ConversionCase{"Empty", "", ""},
                      ConversionCase{"AsciiUnchanged", "<a href=\"x\">\r\n~",
                                     "<a href=\"x\">\r\n~"},
                      ConversionCase{"Link", "\xC1\xB4\xBD\xD3", "\xE9\x93\xBE\xE6\x8E\xA5"},
                      ConversionCase{"MiddleDot", "\xA1\xA4", "\xC2\xB7"},
                      ConversionCase{"EmDash", "\xA1\xAA", "\xE2\x80\x94"},
                      ConversionCase{"NoByteOrderMark", "<?xml", "<?xml"},
                      // A NUL would cut the document short: that is no document at all.
                      ConversionCase{"NulInsideFails", std::string("ab\0cd", 5), ""},
                      // The converter's own table decides 0x80; glibc gives it the euro sign.
                      ConversionCase{"ConverterTableFor0x80", "\x80", "\xE2\x82\xAC"},
                      ConversionCase{"InvalidByteFF", "a\xFF", ""},
                      ConversionCase{"LeadByteWithoutTrail", "\x81\x20x", ""},
                      ConversionCase{"LoneLeadByteAtEnd", "abc\xC1", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertEncoding, HundredDoubleByteCharactersGrowTheBufferOnce) {
  std::string gbk;
  for (int i = 0; i < 100; ++i) gbk += "\xC1\xB4";
  ConversionReport report;
  const std::string utf8 = ConvertEncoding(gbk, "GBK", "UTF-8", &report);
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.growths, 1u);
  EXPECT_EQ(report.buffer_size, 428u);
  EXPECT_EQ(utf8.size(), 300u);
  EXPECT_EQ(utf8.substr(0, 3), "\xE9\x93\xBE");
}

TEST(ConvertEncoding, AsciiNeedsNoGrowth) {
  ConversionReport report;
  EXPECT_EQ(ConvertEncoding("plain", "GBK", "UTF-8", &report), "plain");
  EXPECT_EQ(report.growths, 0u);
  EXPECT_EQ(report.buffer_size, 5u);
}

TEST(ConvertEncoding, NamesMatchWithoutRegardToCase) {
  EXPECT_EQ(ConvertEncoding("\xC1\xB4", "gbk", "utf-8"), "\xE9\x93\xBE");
}

TEST(ConvertEncoding, UnknownNameFails) {
  ConversionReport report;
  EXPECT_EQ(ConvertEncoding("abc", "NO-SUCH-CODE", "UTF-8", &report), "");
  EXPECT_FALSE(report.ok);
}

TEST(ConvertEncoding, EmptyInputIsAnEmptySuccess) {
  ConversionReport report;
  EXPECT_EQ(ConvertEncoding("", "GBK", "UTF-8", &report), "");
  EXPECT_TRUE(report.ok);
}

TEST(ConvertEncoding, ReportsWhereInvalidInputStarts) {
  ConversionReport report;
  EXPECT_EQ(ConvertEncoding("ab\xFF"
                            "cd",
                            "GBK", "UTF-8", &report),
            "");
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.error_offset, 2u);
  EXPECT_FALSE(report.truncated);

  EXPECT_EQ(ConvertEncoding("ab\xC1", "GBK", "UTF-8", &report), "");
  EXPECT_EQ(report.error_offset, 2u);
  EXPECT_TRUE(report.truncated);
}

TEST(ConvertEncoding, GrowsRepeatedlyWhenOutputIsMuchLarger) {
  // ASCII to UTF-32 is four bytes a character: several growths, all kept.
  const std::string ascii(1000, 'a');
  ConversionReport report;
  const std::string utf32 = ConvertEncoding(ascii, "ASCII", "UTF-32LE", &report);
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.growths, 5u);  // 1000 + 5 * 628 >= 4000 > 1000 + 4 * 628
  ASSERT_EQ(utf32.size(), 4000u);
  EXPECT_EQ(utf32.substr(3996), std::string("a\0\0\0", 4));
}

TEST(TextToBytes, IsTheBytesBeforeTheFirstNul) {
  EXPECT_EQ(TextToBytes(""), "");
  EXPECT_EQ(TextToBytes("abc"), "abc");
  EXPECT_EQ(TextToBytes(std::string("a\0b", 3)), "a");
}

TEST(BoundaryConversions, RoundTripAndRefuseWhatGbkCannotHold) {
  EXPECT_EQ(Utf8ToGbk("\xE9\x93\xBE\xE6\x8E\xA5"), std::optional<std::string>("\xC1\xB4\xBD\xD3"));
  EXPECT_EQ(GbkToUtf8("\xC1\xB4\xBD\xD3"), std::optional<std::string>("\xE9\x93\xBE\xE6\x8E\xA5"));
  EXPECT_EQ(Utf8ToGbk(""), std::optional<std::string>(""));
  EXPECT_EQ(Utf8ToGbk("\xED\x95\x9C"), std::nullopt);  // Korean: not in GBK
  EXPECT_EQ(Utf8ToGbk("\xC3"), std::nullopt);          // truncated UTF-8
  EXPECT_EQ(GbkToUtf8("\xFF"), std::nullopt);
}

}  // namespace
}  // namespace lirrevo
