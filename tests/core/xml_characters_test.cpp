#include "core/document/xml_characters.h"

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

}  // namespace
}  // namespace lirrevo
