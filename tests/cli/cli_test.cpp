// Runs the built lirrevo-cli as a user would, with the date fixed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ExpectedDocument;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1); }

  // Runs lirrevo-cli with args and input on standard input.
  static test::ProgramOutcome Run(const std::vector<std::string>& args,
                                  const std::string& input = "") {
    std::vector<std::string> argv = {LIRREVO_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProgram(argv, input);
  }

  static std::string Document(const std::vector<std::string>& locs) {
    return ExpectedDocument(locs, test::kFixedLastmod);
  }

  TempFolder dir_;
};

TEST_F(Cli, WritesTheDocumentForStandardInput) {
  const test::ProgramOutcome r = Run({}, "http://a.cn/1?x=1&y=2\n\n\xE9\x93\xBE\xE6\x8E\xA5\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, Document({"http://a.cn/1?x=1&amp;y=2", "", "\xE9\x93\xBE\xE6\x8E\xA5"}));
  EXPECT_EQ(r.err, "");
}

TEST_F(Cli, LoneLfLoneCrAndCrLfBreakAlike) {
  const std::string expected = Document({"a", "b", "c", "d"});
  EXPECT_EQ(Run({}, "a\nb\rc\r\nd").out, expected);
  EXPECT_EQ(Run({"-"}, "a\r\nb\rc\nd").out, expected);
}

TEST_F(Cli, ALineEndingInAEuroSignStaysOneLink) {
  const test::ProgramOutcome r = Run({}, "a\xE2\x82\xAC\nb\n");  // "a€", "b"
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, Document({"a\xE2\x82\xAC", "b"}));
}

TEST_F(Cli, IgnoresAByteOrderMarkAndReadsGbk) {
  EXPECT_EQ(Run({}, "\xEF\xBB\xBFx\n").out, Document({"x"}));
  EXPECT_EQ(Run({"--input-encoding", "gbk"}, "\xC1\xB4\xBD\xD3\n").out,
            Document({"\xE9\x93\xBE\xE6\x8E\xA5"}));
  EXPECT_EQ(Run({"--input-encoding=GBK"}, "x").out, Document({"x"}));
}

TEST_F(Cli, ReadsAFileAndWritesTheOutputFile) {
  WriteFile(dir_ / "links.txt", "one\ntwo\n");
  WriteFile(dir_ / "out.xml", "old");
  const test::ProgramOutcome r = Run({dir_ / "links.txt", "-o", dir_ / "out.xml"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir_ / "out.xml"), Document({"one", "two"}));
}

TEST_F(Cli, SourceDateEpochFixesTheDateWithinYearsOneTo9999) {
  const struct {
    const char* epoch;
    const char* lastmod;  // or the error
  } cases[] = {
      {"1446508800", "2015-11-3"},  // 2015-11-03 00:00:00 UTC
      {"-62135596800", "1-1-1"},
      {"253402300799", "9999-12-31"},
      {"soon", "SOURCE_DATE_EPOCH is not a number of seconds"},
      {"253402300800", "SOURCE_DATE_EPOCH '253402300800' is outside the years 1 to 9999"},
      {"-62135596801", "SOURCE_DATE_EPOCH '-62135596801' is outside the years 1 to 9999"},
      {"99999999999999999999",
       "SOURCE_DATE_EPOCH '99999999999999999999' is outside the years 1 to 9999"},
  };
  for (const auto& c : cases) {
    setenv("SOURCE_DATE_EPOCH", c.epoch, 1);
    const test::ProgramOutcome r = Run({}, "x");
    if (std::string_view(c.lastmod).starts_with("SOURCE")) {
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.err, "lirrevo-cli: " + std::string(c.lastmod) + "\n");
    } else {
      EXPECT_EQ(r.out, ExpectedDocument({"x"}, c.lastmod)) << c.epoch;
    }
  }
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;
  std::string input;
  std::string message;
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class CliBadInput : public Cli, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CliBadInput, FailsWithOneLineNamingTheLineAndWritesNothing) {
  WriteFile(dir_ / "out.xml", "old");
  std::vector<std::string> args = GetParam().args;
  args.insert(args.end(), {"-o", dir_ / "out.xml"});
  const test::ProgramOutcome r = Run(args, GetParam().input);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: standard input, " + GetParam().message + "\n");
  EXPECT_EQ(ReadFile(dir_ / "out.xml"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliBadInput,
    ::testing::Values(
        BadInput{"ControlCharacter", {}, "ok\n\x0C\n", "line 2: control character U+000C"},
        BadInput{"InvalidUtf8", {}, "a\nb\nc\xC3(\n", "line 3: invalid UTF-8"},
        BadInput{"Overlong",
                 {},
                 "\xC0\xAF",
                 "line 1: invalid UTF-8; is it GBK? try --input-encoding gbk"},
        BadInput{"Nul", {}, std::string("a\nb\0", 4), "line 2: NUL byte in the input"},
        BadInput{"InvalidGbk", {"--input-encoding", "gbk"}, "a\n\xFF", "line 2: invalid GBK"},
        BadInput{"TruncatedGbk",
                 {"--input-encoding", "gbk"},
                 "a\n\xC1",
                 "line 2: input ends inside a GBK character"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, UnreadableInputAndUnwritableOutputFail) {
  test::ProgramOutcome r = Run({dir_ / "absent.txt"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot read '" + (dir_ / "absent.txt") +
                       "': No such file or directory\n");

  r = Run({"-o", dir_ / "missing/out.xml"}, "x");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot write '" + (dir_ / "missing/out.xml") +
                       "': No such file or directory\n");
}

// The options themselves are judged in the arguments table; here only what
// the program makes of a usage error and of --version.
TEST_F(Cli, UsageErrorExitsWithTwoAndVersionWithZero) {
  const test::ProgramOutcome bad = Run({"--bogus"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("usage: lirrevo-cli"), std::string::npos);
  const test::ProgramOutcome version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("lirrevo-cli ", 0), 0u);
}

}  // namespace
}  // namespace lirrevo
