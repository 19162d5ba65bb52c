#include "core/xml_characters.h"

#include <gtest/gtest.h>

#include <string>

namespace lirrevo {
namespace {

TEST(IsForbiddenInXml, ControlCharactersSurrogatesAndTwoNoncharacters) {
  for (const char32_t c :
       {0x00, 0x01, 0x08, 0x0B, 0x0C, 0x0E, 0x1F, 0xD800, 0xDFFF, 0xFFFE, 0xFFFF}) {
    EXPECT_TRUE(IsForbiddenInXml(c)) << std::hex << static_cast<unsigned>(c);
  }
  for (const char32_t c : {0x09, 0x0A, 0x0D, 0x20, 0x7F, 0x85, 0xE000, 0xFFFD, 0x10000, 0x10FFFF}) {
    EXPECT_FALSE(IsForbiddenInXml(c)) << std::hex << static_cast<unsigned>(c);
  }
}

struct FindCase {
  std::string utf8;
  std::size_t offset;
};

class FindForbiddenInUtf8Table : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindForbiddenInUtf8Table, GivesTheFirstOffset) {
  EXPECT_EQ(FindForbiddenInUtf8(GetParam().utf8), GetParam().offset);
}

constexpr std::size_t kNone = std::string::npos;
const std::string kLong(40, 'a');  // past the block a fast scan takes at once

INSTANTIATE_TEST_SUITE_P(
    Cases, FindForbiddenInUtf8Table,
    ::testing::Values(FindCase{"", kNone}, FindCase{"a\tb\r\nc\n", kNone},
                      FindCase{std::string("ab\0", 3), 2}, FindCase{"ab\x0C\x01", 2},
                      FindCase{kLong + "\x1F" + kLong, 40}, FindCase{kLong + "\x7F", kNone},
                      // Full-width colon, U+FFFD and U+EFBF share the lead byte of U+FFFE.
                      FindCase{kLong + "\xEF\xBC\x9A\xEF\xBF\xBD\xEE\xBE\xBF", kNone},
                      FindCase{"x\xEF\xBF\xBE", 1}, FindCase{kLong + "\xEF\xBF\xBF", 40},
                      FindCase{"\xEF\xBF", kNone}));

}  // namespace
}  // namespace lirrevo
