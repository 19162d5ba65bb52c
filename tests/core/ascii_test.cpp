#include "core/document/ascii.h"

#include <gtest/gtest.h>

#include <string>

namespace lirrevo {
namespace {

TEST(AsciiTest, LowersAsciiLettersOnly) {
  EXPECT_EQ(LowerAscii(std::string("HTTPS://Example.COM/\xC3\x89t\xC3\xA9")),
            "https://example.com/\xC3\x89t\xC3\xA9");
  EXPECT_EQ(LowerAscii('@'), '@');
  EXPECT_EQ(LowerAscii('['), '[');
  EXPECT_EQ(LowerAscii('\xC9'), '\xC9');
}

TEST(AsciiTest, ComparesInEitherCase) {
  EXPECT_TRUE(EqualNoCase("User-Agent", "user-agent"));
  EXPECT_FALSE(EqualNoCase("user-agent", "user-agents"));
  EXPECT_FALSE(EqualNoCase("\xC9", "\xE9"));  // Latin-1's É and é are no ASCII letters
  EXPECT_TRUE(StartsWithNoCase("Content-Type: text/html", "content-type:"));
  EXPECT_TRUE(StartsWithNoCase("HTTP://h/", "http://"));
  EXPECT_FALSE(StartsWithNoCase("http:/", "http://"));
  EXPECT_FALSE(StartsWithNoCase(std::string_view("http:\0/h", 8), "http://"));
}

TEST(AsciiTest, ReadsHexDigits) {
  EXPECT_EQ(HexDigit('0'), 0);
  EXPECT_EQ(HexDigit('9'), 9);
  EXPECT_EQ(HexDigit('a'), 10);
  EXPECT_EQ(HexDigit('F'), 15);
  EXPECT_EQ(HexDigit('g'), -1);
  EXPECT_EQ(HexDigit('G'), -1);
  EXPECT_EQ(HexDigit('@'), -1);
  EXPECT_EQ(HexDigit('%'), -1);
}

TEST(AsciiTest, FindsTwoHexDigitsWithinTheText) {
  EXPECT_TRUE(HexPairAt("%2f", 1));
  EXPECT_TRUE(HexPairAt("%E9x", 1));
  EXPECT_FALSE(HexPairAt("%2", 1));  // the end comes first
  EXPECT_FALSE(HexPairAt("%2g", 1));
  EXPECT_FALSE(HexPairAt("%g2", 1));
  EXPECT_FALSE(HexPairAt(std::string_view("%2F", 2), 1));
}

TEST(AsciiTest, EscapesAByteInUpperCaseHex) {
  std::string out = "a";
  AppendPercentEscaped(out, ' ');
  AppendPercentEscaped(out, 0x0A);
  AppendPercentEscaped(out, 0xE9);
  AppendPercentEscaped(out, 0xFF);
  AppendPercentEscaped(out, 0x00);
  EXPECT_EQ(out, "a%20%0A%E9%FF%00");
}

TEST(AsciiTest, TrimsTheGivenBlanks) {
  EXPECT_EQ(Trimmed(" \t 0\r\n", " \t\r\n"), "0");
  EXPECT_EQ(Trimmed(" \t 0\r\n", " \t"), "0\r\n");
  EXPECT_EQ(Trimmed("a b", " "), "a b");
  EXPECT_EQ(Trimmed(" \t ", " \t"), "");
  EXPECT_EQ(Trimmed("", " "), "");
}

}  // namespace
}  // namespace lirrevo
