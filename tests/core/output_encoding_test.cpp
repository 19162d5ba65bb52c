#include "core/document/output_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <bit>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/list_input.h"
#include "core/document/xml_characters.h"
#include "tests/support/utf8_of.h"

namespace lirrevo {
namespace {

struct ConversionCase {
  const char* name;
  std::string gbk;
  std::string utf8;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

// The system's text as the UTF-8 of a document: "" where it does not
// convert or where a line could not stand in the document.
std::string DocumentUtf8(std::string_view text) {
  const std::optional<std::string> utf8 = TextToUtf8(text);
  return utf8 && DecodeUtf8List(*utf8).Ok() ? *utf8 : "";
}

class DocumentUtf8Table : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(DocumentUtf8Table, GivesTheUtf8Bytes) {
  EXPECT_EQ(DocumentUtf8(GetParam().gbk), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentUtf8Table,
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

// nullopt: the conversion failed.
TEST(ConvertEncoding, GivesTheBytesOrFails) {
  const struct {
    std::string input;
    const char* from;
    const char* to;
    std::optional<std::string> output;
  } cases[] = {
      {"\xC1\xB4", "gbk", "utf-8", "\xE9\x93\xBE"},  // names match without regard to case
      {"", "GBK", "UTF-8", ""},
      {"abc", "NO-SUCH-CODE", "UTF-8", std::nullopt},
      {"ab\xFF"
       "cd",
       "GBK", "UTF-8", std::nullopt},
      {"ab\xC1", "GBK", "UTF-8", std::nullopt},
      // Output four times the input grows the buffer on the way; all of it is kept.
      {std::string(1000, 'a'), "ASCII", "UTF-32LE",
       [] {
         std::string utf32;
         for (int i = 0; i < 1000; ++i) utf32 += std::string("a\0\0\0", 4);
         return utf32;
       }()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertEncoding(c.input, c.from, c.to), c.output) << c.input.substr(0, 10);
  }
}

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

// The system's text is GB18030: GBK's bytes, the four-byte codes of every other
// character, and GBK's one-byte euro sign; a document XML 1.0 cannot hold
// gives no bytes.
class EncodeGb18030Document : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(EncodeGb18030Document, GivesTheUtf8BytesOrNothing) {
  EXPECT_EQ(DocumentUtf8(GetParam().gbk), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeGb18030Document,
    ::testing::Values(ConversionCase{"SharpS",
                                     "stra\x81\x30\x89\x38"
                                     "e",
                                     "stra\xC3\x9F"
                                     "e"},
                      ConversionCase{"Emoji", "\x94\x39\xFC\x36", "\xF0\x9F\x98\x80"},
                      ConversionCase{"EuroBothWays", "\xA2\xE3\x80\x81\x30\x89\x38",
                                     "\xE2\x82\xAC\xE2\x82\xAC\xC3\x9F"},
                      ConversionCase{"EuroBesideInvalid", "\x80\xFF", ""},
                      ConversionCase{"Tab", "a\tb", "a\tb"},
                      ConversionCase{"FormFeed", "a\x0C", ""},
                      ConversionCase{"ReplacementCharacter", "\x84\x31\xA4\x37", "\xEF\xBF\xBD"},
                      ConversionCase{"NoncharacterFFFE", "\x84\x31\xA4\x38", ""},
                      ConversionCase{"NoncharacterFFFF", "a\x80\x84\x31\xA4\x39", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Every scalar value but a few private-use characters goes to the system's
// text and back unchanged, in one conversion each way.
TEST(Utf8ToText, EveryCharacterWithACodeRoundTrips) {
  std::string all;  // UTF-32 first, then UTF-8
  int without_code = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    if (!TextCanHold(c)) {
      ++without_code;
      EXPECT_TRUE(c >= 0xE000 && c <= 0xF8FF) << std::hex << static_cast<unsigned>(c);
      continue;
    }
    all += std::string(reinterpret_cast<const char*>(&c), 4);
  }
  // The UTF-32 to UTF-8 step is plain iconv, which ConvertEncoding calls.
  all = ConvertEncoding(all, std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE",
                        "UTF-8")
            .value_or("");
  EXPECT_LT(without_code, 30);
  EXPECT_FALSE(TextCanHold(0xD800));
  EXPECT_FALSE(TextCanHold(0x110000));
  EXPECT_FALSE(Utf8ToText("\xEE\x9E\x8D").has_value());  // U+E78D
  const std::optional<std::string> text = Utf8ToText(all);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(TextToUtf8(*text), all);
}

// TextCanHold answers from a table of its own; glibc's converter is the
// judge, asked once for every scalar value.
TEST(TextCanHold, RefusesExactlyWhatTheDesktopConverterRefuses) {
  const iconv_t cd = iconv_open("GB18030", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::vector<char32_t> refused_by_iconv;
  std::vector<char32_t> refused_by_table;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    std::string utf8 = test::Utf8Of(c);
    char code[8];
    char* in = utf8.data();
    std::size_t in_left = utf8.size();
    char* out = code;
    std::size_t out_left = sizeof code;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
      refused_by_iconv.push_back(c);
    }
    if (!TextCanHold(c)) refused_by_table.push_back(c);
  }
  iconv_close(cd);
  EXPECT_EQ(refused_by_table, refused_by_iconv);
}

struct MarkingCase {
  const char* name;
  std::string input;
  const char* from;
  std::size_t step;
  std::string utf8;
};

void PrintTo(const MarkingCase& c, std::ostream* out) { *out << c.name; }

class ToUtf8MarkingInvalidTable : public ::testing::TestWithParam<MarkingCase> {};

TEST_P(ToUtf8MarkingInvalidTable, MarksAndGoesOn) {
  const MarkingCase& c = GetParam();
  EXPECT_EQ(ToUtf8MarkingInvalid(c.input, c.from, c.step), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToUtf8MarkingInvalidTable,
    ::testing::Values(MarkingCase{"Valid", "a\xC1\xB4\x80", "GBK", 1, "a\xE9\x93\xBE\xE2\x82\xAC"},
                      MarkingCase{"EveryBadByte",
                                  "\xFF"
                                  "a\xFF\xFF",
                                  "GBK", 1,
                                  "\xFF"
                                  "a\xFF\xFF"},
                      MarkingCase{"BadTrailByte",
                                  "\x81\x20"
                                  "b",
                                  "GBK", 1, "\xFF b"},
                      MarkingCase{"EndsInsideACharacter", "a\x81", "GB18030", 1, "a\xFE"},
                      MarkingCase{"LoneSurrogate",
                                  std::string("a\0\x00\xDC"
                                              "b\0",
                                              6),
                                  "UTF-16LE", 2,
                                  "a\xFF"
                                  "b"},
                      MarkingCase{"OddByteAtTheEnd", std::string("a\0b", 3), "UTF-16LE", 2,
                                  "a\xFE"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirrevo
