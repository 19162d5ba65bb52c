#include "core/document/list_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lirrevo {
namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  ListEncoding encoding;
  std::vector<std::string> lines;  // UTF-8; empty with problems when refused
  std::vector<std::string> problems;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeListTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeListTable, GivesTheLinesAsUtf8OrNamesTheBadOnes) {
  const DecodeCase& c = GetParam();
  const DecodedList list = DecodeList(c.bytes, c.encoding);
  EXPECT_EQ(list.Problems(), c.problems);
  ASSERT_EQ(list.Ok(), c.problems.empty());
  if (!list.Ok()) return;
  std::vector<std::string> lines;
  ForEachLine(list.Utf8(), LineBreaks::kAny, [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, c.lines);
}

// Fed a byte at a time, the decoder reads the list as DecodeList does.
TEST_P(DecodeListTable, ReadsTheSameFedInPieces) {
  const DecodeCase& c = GetParam();
  if (c.encoding == ListEncoding::kUtf16Le || c.encoding == ListEncoding::kUtf16Be) {
    GTEST_SKIP() << "UTF-16 is decoded whole";
  }
  ListDecoder decoder(c.encoding);
  for (const char b : c.bytes) decoder.Feed(std::string_view(&b, 1));
  const DecodedList fed = decoder.Finish();
  const DecodedList whole = DecodeList(c.bytes, c.encoding);
  EXPECT_EQ(fed.Problems(), whole.Problems());
  if (whole.Ok()) {
    EXPECT_EQ(fed.Utf8(), whole.Utf8());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeListTable,
    testing::Values(
        DecodeCase{"Empty", "", ListEncoding::kUtf8, {}, {}},
        DecodeCase{"EveryBreakAndNoFinalLine",
                   "a\r\nb\nc\r\rd\n",
                   ListEncoding::kUtf8,
                   {"a", "b", "c", "", "d"},
                   {}},
        DecodeCase{"Utf8KeptAsItIs",
                   "\xE9\x93\xBE&\t\xF0\x9F\x98\x80",
                   ListEncoding::kUtf8,
                   {"\xE9\x93\xBE&\t\xF0\x9F\x98\x80"},
                   {}},
        // 0x81 0x40: the second byte is '@'; 0x80 alone is GBK's euro sign, nine
        // of them three times as long in UTF-8.
        DecodeCase{"GbkTrailBytesInTheAsciiRange",
                   "x\x81\x40&\xC1\xB4\r\n\x80y\r\n\x80\x80\x80\x80\x80\x80\x80\x80\x80",
                   ListEncoding::kGbk,
                   {"x\xE4\xB8\x82&\xE9\x93\xBE",
                    "\xE2\x82\xAC"
                    "y",
                    "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                    "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
                   {}},
        DecodeCase{"Gb18030FourBytes",
                   "\x95\x32\x82\x36|",
                   ListEncoding::kGb18030,
                   {"\xF0\xA0\x80\x80|"},
                   {}},
        DecodeCase{"Utf16BigEndian",
                   std::string("\0a\0\n\x94\xFE", 6),
                   ListEncoding::kUtf16Be,
                   {"a", "\xE9\x93\xBE"},
                   {}},
        DecodeCase{"BadLinesByNumber",
                   std::string("ok\n\xC3(\na\0b\n\xEF\xBF\xBE\nx\x0C\n\xEE\x9E\x8D", 20),
                   ListEncoding::kUtf8,
                   {},
                   {"line 2: invalid UTF-8", "line 3: NUL byte in the input",
                    "line 4: noncharacter U+FFFE", "line 5: control character U+000C",
                    "line 6: character U+E78D has no code in GB18030"}},
        DecodeCase{"InvalidUtf8ThatIsGbk",
                   "\xC1\xB4",
                   ListEncoding::kUtf8,
                   {},
                   {"line 1: invalid UTF-8; is it GBK? try --input-encoding gbk"}},
        // A lead byte takes the CR along, as the converter reads it; the LF still ends the line.
        DecodeCase{"GbkLeadBeforeBreak",
                   "\x81\r\nb\n\xC1",
                   ListEncoding::kGbk,
                   {},
                   {"line 1: invalid GBK", "line 3: input ends inside a GBK character"}},
        DecodeCase{"Gb18030HasNoOneByteEuro",
                   "\x80",
                   ListEncoding::kGb18030,
                   {},
                   {"line 1: invalid GB18030"}},
        DecodeCase{"Utf16CutShort",
                   std::string("a\0\n\0b", 5),
                   ListEncoding::kUtf16Le,
                   {},
                   {"line 2: input ends inside a UTF-16 character"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeList, NamesTwentyBadLinesThenCountsTheRest) {
  std::string bytes;
  for (int i = 0; i < 23; ++i) bytes += "\xFF\n";
  const std::vector<std::string> problems = DecodeList(bytes, ListEncoding::kUtf8).Problems();
  ASSERT_EQ(problems.size(), 21u);
  EXPECT_EQ(problems[19], "line 20: invalid UTF-8");
  EXPECT_EQ(problems[20], "3 more bad lines");
}

TEST(TakeByteOrderMark, PicksTheEncodingAndDropsTheMark) {
  const struct {
    std::string bytes;
    ListEncoding asked, read;
    std::string rest;
  } cases[] = {
      {"\xEF\xBB\xBFx", ListEncoding::kUtf8, ListEncoding::kUtf8, "x"},
      {"\xFF\xFEx", ListEncoding::kUtf8, ListEncoding::kUtf16Le, "x"},
      {"\xFE\xFFx", ListEncoding::kUtf16Le, ListEncoding::kUtf16Be, "x"},
      {"\xEF\xBB\xBFx", ListEncoding::kGbk, ListEncoding::kGbk, "\xEF\xBB\xBFx"},
      {"\xFF\xFEx", ListEncoding::kGb18030, ListEncoding::kGb18030, "\xFF\xFEx"},
  };
  for (const auto& c : cases) {
    std::string_view bytes = c.bytes;
    EXPECT_EQ(TakeByteOrderMark(bytes, c.asked), c.read) << c.bytes;
    EXPECT_EQ(bytes, c.rest) << c.bytes;
  }
}

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

TEST(CountRepeatedLines, CountsEachLineThatEqualsAnEarlierOne) {
  // 300,000 distinct lines fill the first bits enough that some share one.
  std::string many;
  for (int i = 0; i < 300000; ++i) many += "https://e.cn/" + std::to_string(i) + "\n";
  const struct {
    std::string text;
    std::size_t repeated;
  } cases[] = {
      {"", 0},
      {"a\nb\nc", 0},
      {"a\nb\na\na", 2},
      {"a\r\nb\ra\n", 1},   // the same line whatever break ends it
      {"\n\n\na\n\n", 0},   // empty lines are no links
      {"a\nA\na \n a", 0},  // exact bytes
      {many, 0},
      {many + many.substr(0, 30) + "https://e.cn/299999\n", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountRepeatedLines(c.text, LineBreaks::kAny), c.repeated) << c.text.substr(0, 40);
  }
}

}  // namespace
}  // namespace lirrevo
