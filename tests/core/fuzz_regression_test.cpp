// Inputs that fuzzing turned up, kept as plain tests. The converter reads
// 0x80 as a one-byte euro sign, so the scan must not let it swallow the byte
// after it; and a NUL byte in the box must fail the document, not cut it short.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/document/link_list.h"
#include "core/document/list_input.h"
#include "core/document/output_encoding.h"
#include "core/document/sitemap_document.h"
#include "core/generate_command.h"
#include "tests/support/document_text.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

struct SplitCase {
  std::string text;
  std::vector<std::string> links;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.text); }

class EuroSignSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(EuroSignSplit, EndsLinesLikeAnyOneByteCharacter) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitLinks(c.text), c.links);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EuroSignSplit,
    ::testing::Values(SplitCase{"\x80\r\n", {"\x80"}}, SplitCase{"a\x80\r\nb", {"a\x80", "b"}},
                      SplitCase{"\x80\x80\r\n\x80", {"\x80\x80", "\x80"}},
                      // After a lead byte 0x80 is a trail byte: the break that follows counts.
                      SplitCase{"\x81\x80\r\nx", {"\x81\x80", "x"}},
                      // A lead byte still takes a CR along.
                      SplitCase{"\x81\r\nx", {"\x81\r\nx"}}));

TEST(EuroSign, PatternRightAfterItIsReplaced) {
  EXPECT_EQ(ReplaceAll("\x80[x]\x80", "[x]", "y"), "\x80y\x80");
  EXPECT_EQ(ReplaceAll("\xB5[x]", "[x]", "y"), "\xB5[x]");  // '[' is a trail byte here
}

TEST(EuroSign, DocumentKeepsItAndEscapesWhatFollows) {
  const std::string document = test::DocumentOfText("\x80&", DateTime{2015, 2, 12});
  EXPECT_NE(document.find("<loc>\xE2\x82\xAC&amp;</loc>"), std::string::npos) << document;
}

TEST(NulInBox, DocumentFailsInsteadOfBeingCutShort) {
  EXPECT_EQ(test::DocumentOfText(std::string("a\0b\r\nc", 6), DateTime{2015, 2, 12}), "");
  EXPECT_EQ(test::DocumentOfText(std::string("x\0", 2), DateTime{2015, 2, 12}), "");
}

TEST(NulInBox, GenerateShowsFailureAndWritesNothing) {
  test::TempFolder folder;
  std::vector<std::string> messages;
  GenerateSitemapFile([] { return std::optional<BoxUtf8>(std::string("a\r\n\0b", 5)); },
                      [&] { return std::optional<std::string>(folder / "out.xml"); },
                      [&](const std::string& text) { messages.push_back(text); });
  EXPECT_EQ(messages, std::vector<std::string>{std::string(GenerateFailureMessage)});
  EXPECT_TRUE(test::TakeSnapshot(folder.path()).empty());
}

}  // namespace
}  // namespace lirrevo
