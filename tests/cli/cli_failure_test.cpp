// lirrevo-cli against hostile input and against every target of the
// file-write matrix: a clear one-line error naming the line, or a correct
// document; never a crash, never a changed file after a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/file_events.h"
#include "tests/support/temp_folder.h"
#include "tests/support/write_matrix.h"

namespace lirrevo {
namespace {

const std::string kCli = LIRREVO_CLI;

test::ProgramOutcome RunCli(std::string_view input, const std::vector<std::string>& args = {},
                            const test::ChildConditions& conditions = {}) {
  // One date for every run: two runs of a test may fall on either side of midnight.
  setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1);
  std::vector<std::string> argv = {kCli};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunProgram(argv, input, conditions);
}

// The loc texts of a document, after checking its frame and entry count.
std::vector<std::string> LocsOf(const std::string& document) {
  EXPECT_TRUE(document.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <urlset>\r\n"));
  EXPECT_TRUE(document.ends_with("\r\n  </urlset>") || document.size() == 63);
  std::vector<std::string> locs;
  std::size_t entries = 0;
  for (std::size_t at = document.find("    <url>\r\n"); at != std::string::npos;
       at = document.find("    <url>\r\n", at + 1)) {
    ++entries;
  }
  for (std::size_t at = document.find("<loc>"); at != std::string::npos;
       at = document.find("<loc>", at)) {
    const std::size_t end = document.find("</loc>\r\n", at);
    if (end == std::string::npos) break;
    locs.push_back(document.substr(at + 5, end - at - 5));
    at = end;
  }
  EXPECT_EQ(entries, locs.size());
  return locs;
}

struct HostileCase {
  const char* name;
  std::string input;
  const char* encoding;
  const char* error;                   // the error after "standard input, ", or nullptr
  std::vector<std::string> locs = {};  // when the input is accepted: the loc texts, in UTF-8
};

// The same run of bytes read as GBK is valid: the error suggests it.
#define GBK_HINT "; is it GBK? try --input-encoding gbk"

const std::vector<HostileCase> kHostileCases = {
    {"NulByte", std::string("http://a.com/1\nhttp://a.com/\0x\n", 31), "utf-8",
     "line 2: NUL byte in the input"},
    {"NulFirst", std::string("\0", 1), "utf-8", "line 1: NUL byte in the input"},
    // Every bad line is named: the header's bytes, its control character and its NULs.
    {"BinaryImageHeader", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "utf-8",
     "line 1: invalid UTF-8" GBK_HINT
     "\nlirrevo-cli: standard input, line 2: control character U+001A"
     "\nlirrevo-cli: standard input, line 3: NUL byte in the input"},
    {"BinaryWithoutNul", "\xFF\xD8\xFF\xE0JFIF", "utf-8", "line 1: invalid UTF-8"},
    {"LoneContinuationByte",
     "a\nb\nc\x80"
     "d",
     "utf-8", "line 3: invalid UTF-8" GBK_HINT},
    {"OverlongSlash", "ok\n\xC0\xAF", "utf-8", "line 2: invalid UTF-8" GBK_HINT},
    {"Surrogate", "\xED\xA0\x80", "utf-8", "line 1: invalid UTF-8" GBK_HINT},
    {"AboveUnicode", "a\r\n\xF4\x90\x80\x80", "utf-8", "line 2: invalid UTF-8" GBK_HINT},
    {"TruncatedAtEnd", "a\n\xE4\xB8", "utf-8", "line 2: invalid UTF-8" GBK_HINT},
    {"Korean",
     "http://a.com/\n\xED\x95\x9C\xEA\xB5\xAD\n",
     "utf-8",
     nullptr,
     {"http://a.com/", "\xED\x95\x9C\xEA\xB5\xAD"}},
    {"Emoji", "a\nb\nc\xF0\x9F\x98\x80", "utf-8", nullptr, {"a", "b", "c\xF0\x9F\x98\x80"}},
    {"GbkUndefinedByte", "a\r\n\xFF\r\n", "gbk", "line 2: invalid GBK"},
    {"GbkBadTrailByte", "\x81\x20", "gbk", "line 1: invalid GBK"},
    {"GbkTrailByte7F", "x\n\n\x81\x7F", "gbk", "line 3: invalid GBK"},
    {"GbkLoneLeadAtEnd", "a\n\x81", "gbk", "line 2: input ends inside a GBK character"},
    {"OnlyLineFeeds", "\n\n\n", "utf-8", nullptr, {"", "", ""}},
    {"OnlyCrLfs", "\r\n\r\n", "utf-8", nullptr, {"", ""}},
    {"OnlyCarriageReturn", "\r", "utf-8", nullptr, {""}},
    {"OnlyByteOrderMark", "\xEF\xBB\xBF", "utf-8", nullptr, {}},
    {"EuroEndsItsLine", "price\xE2\x82\xAC\nnext", "utf-8", nullptr, {"price\xE2\x82\xAC", "next"}},
    {"EuroBeforeAmpersand", "\xE2\x82\xAC&x", "utf-8", nullptr, {"\xE2\x82\xAC&amp;x"}},
    {"GbkEuroEndsItsLine", "a\x80\r\nb", "gbk", nullptr, {"a\xE2\x82\xAC", "b"}},
    {"GbkChinese", "\xC1\xB4\xBD\xD3\n", "gbk", nullptr, {"\xE9\x93\xBE\xE6\x8E\xA5"}},
    {"MarkupCharacters", "a?b=1&c=<2>\"'", "utf-8", nullptr, {"a?b=1&amp;c=&lt;2&gt;&quot;&apos;"}},
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileInput : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileInput, ClearErrorOrCorrectDocument) {
  const HostileCase& c = GetParam();
  const test::ProgramOutcome run = RunCli(c.input, {"--input-encoding", c.encoding});
  ASSERT_EQ(run.signal, 0);
  if (c.error) {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, std::string("lirrevo-cli: standard input, ") + c.error + "\n");
    EXPECT_EQ(run.out, "");
  } else {
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(LocsOf(run.out), c.locs);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileInput, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileInput, TenMegabyteLineIsOneLink) {
  std::string line = "http://www.example.com/?q=";
  while (line.size() < 10'000'000) line += "0123456789abcdef\xE9\x93\xBE&";
  const test::ProgramOutcome run = RunCli(line);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string escaped;
  for (const char c : line) escaped += c == '&' ? std::string("&amp;") : std::string(1, c);
  EXPECT_EQ(LocsOf(run.out), std::vector<std::string>{escaped});
}

TEST(HostileInput, TenMegabyteLineWithBadByteAtItsEnd) {
  std::string input = "first\n" + std::string(10'000'000, 'a') + "\xC3";
  const test::ProgramOutcome run = RunCli(input);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "lirrevo-cli: standard input, line 2: invalid UTF-8\n");
}

// Input without end stops at its first bad line or at --max-input, and a list
// that does not fit in memory is refused as such, with the old output kept.
TEST(HostileInput, EndlessOrHugeInputEndsWithAMessage) {
  test::TempFolder folder;
  test::WriteFile(folder / "out.xml", "old");
  test::WriteFile(folder / "big.txt", std::string(160 << 20, 'a'));
  const std::string kNotReadFurther = ": not read further\n";
  const struct {
    std::vector<std::string> args;
    std::string err;  // a line that ends standard error
    std::optional<rlim_t> address_space = std::nullopt;
  } cases[] = {
      {{"/dev/zero"},
       "lirrevo-cli: '/dev/zero', line 1: NUL byte in the input\nlirrevo-cli: '/dev/zero'" +
           kNotReadFurther},
      {{"/dev/urandom"}, "lirrevo-cli: '/dev/urandom'" + kNotReadFurther},
      {{"/bin/sh", "-c", "yes http://e.cn/ | \"$0\" -o \"$1\" --max-input 1M", kCli,
        folder / "out.xml"},
       "lirrevo-cli: standard input is larger than 1 MiB, the most --max-input allows\n"},
      // The limit leaves room for the libraries' mappings (an HTML parser's
      // Unicode tables among them), not for the list.
      {{folder / "big.txt", "-o", folder / "out.xml"}, "lirrevo-cli: out of memory\n", 112 << 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's runtime needs far more address space than any limit here.
    if (c.address_space) continue;
#endif
    test::ChildConditions conditions;
    conditions.address_space = c.address_space;
    const bool shell = c.args.front() == "/bin/sh";
    const test::ProgramOutcome run =
        shell ? test::RunProgram(c.args, "") : RunCli("", c.args, conditions);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(run.err.ends_with(c.err)) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(test::ReadFile(folder / "out.xml"), "old");
  EXPECT_EQ(test::NamesIn(folder), (std::vector<std::string>{"big.txt", "out.xml"}));
}

// Random bytes in either encoding: the run ends with a document or with lines
// naming the bad lines, the first of them N; then lines before N are accepted
// and line N alone is not.
TEST(HostileInput, RandomBytesNameTheRightLine) {
  std::mt19937 random(20150212);
  int refused = 0;
  for (int round = 0; round < 12; ++round) {
    const char* encoding = round % 2 ? "gbk" : "utf-8";
    std::string input;
    for (int i = 0; i < 4096; ++i) {
      const unsigned roll = random() % 256;
      input += static_cast<char>(roll < 24 ? '\n' : roll < 160 ? 'a' + roll % 26 : roll);
    }
    SCOPED_TRACE(std::string(encoding) + " round " + std::to_string(round));
    const test::ProgramOutcome run = RunCli(input, {"--input-encoding", encoding});
    ASSERT_EQ(run.signal, 0);
    if (run.exit_code == 0) continue;
    ASSERT_EQ(run.exit_code, 1);
    ++refused;
    const std::string prefix = "lirrevo-cli: standard input, line ";
    ASSERT_TRUE(run.err.starts_with(prefix)) << run.err;
    const std::size_t line = std::stoul(run.err.substr(prefix.size()));
    std::size_t begin = 0;
    for (std::size_t n = 1; n < line; ++n) begin = input.find('\n', begin) + 1;
    const std::size_t end = std::min(input.find('\n', begin), input.size());
    EXPECT_EQ(RunCli(input.substr(0, begin), {"--input-encoding", encoding}).exit_code, 0);
    EXPECT_EQ(RunCli(input.substr(begin, end - begin), {"--input-encoding", encoding}).exit_code,
              1);
  }
  EXPECT_GT(refused, 0) << "random bytes should not all be valid";
}

// Every case of the file-write matrix through lirrevo-cli -o.
class CliWriteMatrix : public ::testing::TestWithParam<test::WriteCase> {};

TEST_P(CliWriteMatrix, OutputOption) {
  const test::WriteCase& c = GetParam();
  if (c.runner == test::Runner::kUnprivileged && !test::CanSwitchUser()) {
    GTEST_SKIP() << "needs root to switch to an unprivileged user";
  }
  test::TempFolder inputs;
  std::string links;
  for (int i = 0; i < 100; ++i)
    links += "http://www.example.com/page?id=" + std::to_string(i) + "\n";
  test::WriteFile(inputs / "links.txt", links);
  const test::ProgramOutcome expected = RunCli(links);
  ASSERT_EQ(expected.exit_code, 0);
  ASSERT_GT(expected.out.size(), test::kFileSizeLimit);

  test::TempFolder folder;
  std::string target;
  try {
    target = c.setup(folder);
  } catch (const test::SetupRefused& refused) {
    GTEST_SKIP() << refused.what();
  }
  const test::Snapshot before = test::TakeSnapshot(folder.path());
  test::Receiver receiver(c, target);
  const test::ProgramOutcome run =
      RunCli("", {"-o", target, inputs / "links.txt"}, test::ConditionsFor(c));
  ASSERT_EQ(run.signal, 0);
  const bool to_standard_output = c.route == test::Route::kStandardOutput;
  test::ExpectWriteOutcome(c, folder, target, before, run.exit_code == 0, expected.out,
                           to_standard_output ? run.out : receiver.Take());
  if (!to_standard_output) {
    EXPECT_EQ(run.out, "");
  }
  if (c.writes) {
    EXPECT_EQ(run.err, "");
  } else if (c.error == EOPNOTSUPP) {
    // The command line names the kind of file before it reads the input.
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "lirrevo-cli: '" + target +
                           "' is a socket; -o writes a file, a character device or a named pipe\n");
  } else {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err,
              "lirrevo-cli: cannot write '" + target + "': " + std::strerror(c.error) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(AllCases, CliWriteMatrix, ::testing::ValuesIn(test::WriteCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

// What users have: every line break, more encodings, characters outside GBK;
// and what XML 1.0 cannot hold, refused line by line.
struct ReadCase {
  const char* name;
  std::string input;
  std::vector<std::string> args;
  std::vector<std::string> errors;     // each after "standard input, "; none: accepted
  std::vector<std::string> locs = {};  // when accepted: the loc texts, in UTF-8
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ReadsWhatUsersHave : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadsWhatUsersHave, DocumentOrEveryBadLine) {
  const ReadCase& c = GetParam();
  const test::ProgramOutcome run = RunCli(c.input, c.args);
  ASSERT_EQ(run.signal, 0);
  std::string err;
  for (const std::string& error : c.errors) err += "lirrevo-cli: standard input, " + error + "\n";
  EXPECT_EQ(run.err, err);
  EXPECT_EQ(run.exit_code, c.errors.empty() ? 0 : 1);
  if (c.errors.empty()) {
    EXPECT_EQ(LocsOf(run.out), c.locs);
  } else {
    EXPECT_EQ(run.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadsWhatUsersHave,
    ::testing::Values(
        ReadCase{"EveryLineBreak", "a\r\nb\nc\rd\r\r\ne\n", {}, {}, {"a", "b", "c", "d", "", "e"}},
        // ß ñ ç © • ½, Greek, Cyrillic, Hebrew, a tab, a CJK character above U+FFFF.
        ReadCase{"BeyondGbk",
                 "stra\xC3\x9F"
                 "e\t\xC3\xB1\xC3\xA7\xC2\xA9\xE2\x80\xA2\xC2\xBD\n"
                 "\xCE\x95\xD0\x96\xD7\x90\xF0\xA0\x80\x80",
                 {},
                 {},
                 {"stra\xC3\x9F"
                  "e\t\xC3\xB1\xC3\xA7\xC2\xA9\xE2\x80\xA2\xC2\xBD",
                  "\xCE\x95\xD0\x96\xD7\x90\xF0\xA0\x80\x80"}},
        ReadCase{"Gb18030",
                 "\x81\x30\x89\x38\n\x94\x39\xFC\x36",
                 {"--input-encoding", "gb18030"},
                 {},
                 {"\xC3\x9F", "\xF0\x9F\x98\x80"}},
        ReadCase{"Gb2312",
                 "\xC1\xB4\xBD\xD3",
                 {"--input-encoding", "gb2312"},
                 {},
                 {"\xE9\x93\xBE\xE6\x8E\xA5"}},
        ReadCase{"Utf16ByItsMark",
                 std::string("\xFF\xFE"
                             "a\0\r\0\n\0\x3D\xD8\x00\xDE",
                             12),
                 {},
                 {},
                 {"a", "\xF0\x9F\x98\x80"}},
        ReadCase{"Utf16BigEndianMark", std::string("\xFE\xFF\0a\0\r\0b", 8), {}, {}, {"a", "b"}},
        ReadCase{"Utf16WithoutMark",
                 std::string("a\0&\0", 4),
                 {"--input-encoding", "utf-16"},
                 {},
                 {"a&amp;"}},
        ReadCase{"Utf16LoneSurrogate",
                 std::string("a\0\n\0\x00\xDC"
                             "b\0",
                             8),
                 {"--input-encoding", "utf-16"},
                 {"line 2: invalid UTF-16"}},
        ReadCase{"Utf16OddLength",
                 std::string("a\0b", 3),
                 {"--input-encoding", "utf-16"},
                 {"line 1: input ends inside a UTF-16 character"}},
        ReadCase{"ControlCharacters",
                 "ok\na\x0C\n\x01x\n\x7F\n\x1F",
                 {},
                 {"line 2: control character U+000C", "line 3: control character U+0001",
                  "line 5: control character U+001F"}},
        ReadCase{"Noncharacters",
                 "\xEF\xBF\xBE\n\xEF\xBF\xBD\nx\xEF\xBF\xBF",
                 {},
                 {"line 1: noncharacter U+FFFE", "line 3: noncharacter U+FFFF"}},
        ReadCase{"GbkControlCharacter",
                 "\xC1\xB4\x0B",
                 {"--input-encoding", "gbk"},
                 {"line 1: control character U+000B"}},
        ReadCase{"PrivateUseWithoutCode",
                 "\xEE\x9E\x8D",
                 {},
                 {"line 1: character U+E78D has no code in GB18030"}},
        ReadCase{"GbkFileReadAsUtf8",
                 "ok\n\xC1\xB4\xBD\xD3\n",
                 {},
                 {"line 2: invalid UTF-8; is it GBK? try --input-encoding gbk"}},
        ReadCase{"BadLinesOfEveryKind",
                 "\xFF\n\x0C\nok\n",
                 {},
                 {"line 1: invalid UTF-8", "line 2: control character U+000C"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadsWhatUsersHave, NamesTwentyBadLinesThenHowManyMore) {
  std::string input;
  for (int i = 1; i <= 26; ++i) input += i == 3 ? "fine\n" : "a\x0C\n";
  const test::ProgramOutcome run = RunCli(input);
  EXPECT_EQ(run.exit_code, 1);
  std::string err;
  for (int line = 1; line <= 21; ++line) {
    if (line != 3) {
      err += "lirrevo-cli: standard input, line " + std::to_string(line) +
             ": control character U+000C\n";
    }
  }
  err += "lirrevo-cli: standard input, 5 more bad lines\n";
  EXPECT_EQ(run.err, err);
}

}  // namespace
}  // namespace lirrevo

namespace lirrevo {
namespace {

// Arguments with "@" standing for the folder of the case ("@out.xml").
std::vector<std::string> InFolder(const std::vector<std::string>& args,
                                  const test::TempFolder& folder) {
  std::vector<std::string> placed;
  for (const std::string& arg : args) {
    placed.push_back(arg.starts_with("@") ? folder / arg.substr(1) : arg);
  }
  return placed;
}

// The input list.txt, with other names for it: a symbolic link, a hard link,
// a part of the stem "a" and the second part of the stem "b".
void LayOutInput(const test::TempFolder& dir) {
  test::WriteFile(dir / "list.txt", "http://a.cn/1\nhttp://a.cn/2\n");
  test::MakeLink("list.txt", dir / "sym");
  for (const char* other : {"hard", "a-1.xml", "b-2.xml"}) {
    ASSERT_EQ(link((dir / "list.txt").c_str(), (dir / other).c_str()), 0);
  }
}

struct SameFileCase {
  const char* name;
  std::vector<std::string> args;
  bool on_standard_input;  // list.txt is standard input
  const char* output;      // the name the message gives
};

void PrintTo(const SameFileCase& c, std::ostream* out) { *out << c.name; }

class OutputIsInput : public ::testing::TestWithParam<SameFileCase> {};

TEST_P(OutputIsInput, IsRefusedWithNothingWritten) {
  const SameFileCase& c = GetParam();
  test::TempFolder dir;
  LayOutInput(dir);
  const test::Snapshot before = test::TakeSnapshot(dir.path());
  test::ChildConditions conditions;
  const int input = open((dir / "list.txt").c_str(), O_RDONLY | O_CLOEXEC);
  if (c.on_standard_input) conditions.standard_input = input;
  const test::ProgramOutcome run = RunCli("", InFolder(c.args, dir), conditions);
  close(input);
  EXPECT_EQ(run.exit_code, 2);
  const std::string output =
      std::string(c.output).starts_with("@") ? dir / (c.output + 1) : std::string(c.output);
  EXPECT_EQ(run.err, "lirrevo-cli: '" + output + "' is the same file as " +
                         (c.on_standard_input ? "standard input"
                                              : "the input '" + (dir / "list.txt") + "'") +
                         "; nothing was written\n");
  EXPECT_EQ(test::TakeSnapshot(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputIsInput,
    ::testing::Values(
        SameFileCase{"SameName", {"-o", "@list.txt", "@list.txt"}, false, "@list.txt"},
        SameFileCase{"SymbolicLink", {"-o", "@sym", "@list.txt"}, false, "@sym"},
        SameFileCase{"HardLink", {"-o", "@hard", "@list.txt"}, false, "@hard"},
        SameFileCase{"StandardInput", {"-o", "@list.txt"}, true, "@list.txt"},
        SameFileCase{"DescriptorOfStandardInput", {"-o", "/dev/stdin"}, true, "/dev/stdin"},
        SameFileCase{"Index",
                     {"--split", "--index-url", "https://a.cn/", "-o", "@list.txt", "@list.txt"},
                     false,
                     "@list.txt"},
        SameFileCase{"ExistingPart", {"--split", "-o", "@a.xml", "@list.txt"}, false, "@a-1.xml"},
        SameFileCase{"LaterPart",
                     {"--split", "--max-urls", "1", "-o", "@b.xml", "@list.txt"},
                     false,
                     "@b-2.xml"},
        SameFileCase{"Check", {"check", "-o", "@hard", "@list.txt"}, false, "@hard"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionCase {
  const char* name;
  std::vector<std::string> args;
  int exit_code;
  const char* err;  // how standard error begins
};

void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.name; }

class OutputOptions : public ::testing::TestWithParam<OptionCase> {};

// The smallest dead-link document with one entry, for an empty line dated
// 2015-2-12, has 220 bytes; in the standard form, for a one-byte link, 274.
TEST_P(OutputOptions, RefusedBeforeAnythingIsWritten) {
  const OptionCase& c = GetParam();
  test::TempFolder dir;
  const test::ProgramOutcome run = RunCli("\n\n", InFolder(c.args, dir));
  EXPECT_EQ(run.exit_code, c.exit_code);
  EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
  if (c.exit_code != 0) {
    EXPECT_TRUE(test::NamesIn(dir).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputOptions,
    ::testing::Values(
        OptionCase{"MaxBytesBelowTheSmallestDocument",
                   {"--split", "--max-bytes", "219", "-o", "@d.xml"},
                   2,
                   "lirrevo-cli: --max-bytes 219 is below 220, the size of the smallest document "
                   "with one entry\n"},
        OptionCase{"MaxBytesOfTheSmallestDocument",
                   {"--split", "--max-bytes", "220", "-o", "@d.xml"},
                   0,
                   "lirrevo-cli: wrote 2 parts"},
        OptionCase{"MaxBytesBelowTheSmallestStandardDocument",
                   {"--standard", "--split", "--max-bytes", "273", "-o", "@d.xml"},
                   2,
                   "lirrevo-cli: --max-bytes 273 is below 274"},
        OptionCase{
            "EmptyOutputName", {"-o", ""}, 2, "lirrevo-cli: -o was given an empty file name\n"},
        OptionCase{"EmptyOutputNameInCheck",
                   {"check", "--output="},
                   2,
                   "lirrevo-cli: --output was given an empty file name\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Where the in-place target's folder takes no scratch file, the scratch
// folder is tried, and the message names both causes.
TEST(CliOutput, ScratchFileFailureNamesBothFolders) {
  if (!test::CanSwitchUser()) GTEST_SKIP() << "needs root to write as an unprivileged user";
  const test::UserIds user = test::UnprivilegedUser();
  test::TempFolder dir;
  test::MakeFolder(dir / "mine");
  test::WriteFile(dir / "mine/out.xml", "old");
  test::SetOwner(dir / "mine/out.xml", user.uid, user.gid);
  test::SetOwner(dir / "mine", user.uid, user.gid);
  test::SetMode(dir / "mine", 0555);
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir ? tmpdir : "";
  setenv("TMPDIR", (dir / "missing").c_str(), 1);
  test::ChildConditions as_user;
  as_user.user = user;
  const test::ProgramOutcome run = RunCli("a", {"-o", dir / "mine/out.xml"}, as_user);
  tmpdir ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "lirrevo-cli: cannot write '" + (dir / "mine/out.xml") +
                         "': no scratch file in its folder (Permission denied) nor in '" +
                         (dir / "missing") + "': No such file or directory\n");
  EXPECT_EQ(test::ReadFile(dir / "mine/out.xml"), "old");
}

struct SignalCase {
  const char* name;
  std::vector<std::string> args;       // the input is added
  std::vector<const char*> old_files;  // there before, each with old content
  const char* hard_link;               // given a second name: written in place
  std::uint32_t event;                 // the signal is sent at this event
  const char* on;                      // on a name that begins so
  int signal;
  std::optional<rlim_t> open_files = {};
  bool lands = true;  // the new files are put in place before the signal acts
};

void PrintTo(const SignalCase& c, std::ostream* out) { *out << c.name; }

class InterruptedRun : public ::testing::TestWithParam<SignalCase> {
 protected:
  // The folder laid out for the case; with a run of the case in it when given.
  static void LayOut(const SignalCase& c, const test::TempFolder& dir) {
    for (const char* name : c.old_files) test::WriteFile(dir / name, std::string("old ") + name);
    if (c.hard_link) {
      ASSERT_EQ(link((dir / c.hard_link).c_str(), (dir / "second-name").c_str()), 0);
    }
  }
};

// A signal while the documents are staged leaves every old file; one while
// they are put in place waits until all are. Never a mix, never a temporary
// file, and the process ends by the signal.
TEST_P(InterruptedRun, LeavesOldFilesOrAllNewOnes) {
  const SignalCase& c = GetParam();
  test::TempFolder inputs;
  std::string links;
  for (int i = 0; i < 30000; ++i)
    links += "http://www.example.com/page?id=" + std::to_string(i) + "\n";
  test::WriteFile(inputs / "links.txt", links);
  std::vector<std::string> args = c.args;
  args.push_back(inputs / "links.txt");

  test::TempFolder expected;
  LayOut(c, expected);
  ASSERT_EQ(RunCli("", InFolder(args, expected)).exit_code, 0);
  test::TempFolder dir;
  LayOut(c, dir);
  const test::Snapshot before = test::TakeSnapshot(dir.path());

  test::FolderEvents events(dir.path(), c.event);
  std::vector<std::string> argv = {kCli};
  for (const std::string& arg : InFolder(args, dir)) argv.push_back(arg);
  test::ChildConditions conditions;
  conditions.open_files = c.open_files;
  test::RunningProgram program(argv, conditions);
  events.WaitFor(c.on);
  kill(program.pid(), c.signal);
  const test::ProgramOutcome run = program.Finish();

  EXPECT_EQ(run.signal, c.signal) << run.err;
  EXPECT_TRUE(test::TemporaryFilesIn(dir.path()).empty());
  const test::Snapshot after = test::TakeSnapshot(dir.path());
  if (!c.lands) {
    EXPECT_EQ(after, before);
    return;
  }
  const test::Snapshot whole = test::TakeSnapshot(expected.path());
  ASSERT_EQ(test::NamesIn(dir), test::NamesIn(expected));
  for (const auto& [name, entry] : whole) EXPECT_EQ(after.at(name).content, entry.content) << name;
}

const std::vector<std::string> kSplit = {"--split",       "--max-urls", "100",      "--index-url",
                                         "https://a.cn/", "-o",         "@dead.xml"};

INSTANTIATE_TEST_SUITE_P(Cases, InterruptedRun,
                         ::testing::Values(SignalCase{"InPlaceCopy",
                                                      {"-o", "@out.xml"},
                                                      {"out.xml"},
                                                      "out.xml",
                                                      IN_MODIFY,
                                                      "out.xml",
                                                      SIGINT},
                                           SignalCase{"PartRenamed",
                                                      kSplit,
                                                      {"dead.xml", "dead-1.xml", "dead-2.xml"},
                                                      nullptr,
                                                      IN_MOVED_TO,
                                                      "dead",
                                                      SIGTERM},
                                           SignalCase{"InPlacePart",
                                                      kSplit,
                                                      {"dead.xml", "dead-1.xml", "dead-2.xml"},
                                                      "dead-2.xml",
                                                      IN_MODIFY,
                                                      "dead-2.xml",
                                                      SIGHUP},
                                           SignalCase{"PartStagedUnderName",
                                                      kSplit,
                                                      {"dead.xml", "dead-1.xml", "dead-2.xml"},
                                                      nullptr,
                                                      IN_CREATE,
                                                      ".lirrevo-",
                                                      SIGINT,
                                                      32,
                                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirrevo
