// Runs the built lirrevo-cli as a user would, through the shell.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "core/output_encoding.h"
#include "core/sitemap_document.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class Cli : public ::testing::Test {
 protected:
  // Runs lirrevo-cli with args (shell words) and input on standard input.
  Result Run(const std::string& args, const std::string& input = "") {
    WriteFile(dir_ / "stdin", input);
    const std::string command = std::string(LIRREVO_CLI) + " " + args + " < " + (dir_ / "stdin") +
                                " > " + (dir_ / "stdout") + " 2> " + (dir_ / "stderr");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir_ / "stdout").value_or(""),
            ReadFile(dir_ / "stderr").value_or("")};
  }

  // What the core builds today for the box text (GBK, CR LF breaks).
  static std::string Expected(const std::string& box) {
    return BuildSitemapDocument([&] { return std::optional<std::string>(box); });
  }

  TempFolder dir_;
};

TEST_F(Cli, WritesTheDocumentForStandardInput) {
  const Result r = Run("", "http://a.cn/1?x=1&y=2\n\n\xE9\x93\xBE\xE6\x8E\xA5\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, Expected("http://a.cn/1?x=1&y=2\r\n\r\n\xC1\xB4\xBD\xD3\r\n"));
  EXPECT_EQ(r.err, "");
}

TEST_F(Cli, LoneLfLoneCrAndCrLfBreakAlike) {
  const std::string expected = Expected("a\r\nb\r\nc\r\nd");
  EXPECT_EQ(Run("", "a\nb\rc\r\nd").out, expected);
  EXPECT_EQ(Run("-", "a\r\nb\rc\nd").out, expected);
}

TEST_F(Cli, ALineEndingInAEuroSignStaysOneLink) {
  const Result r = Run("", "a\xE2\x82\xAC\nb\n");  // "a€", "b"
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("<loc>a\xE2\x82\xAC</loc>"), std::string::npos);
  EXPECT_NE(r.out.find("<loc>b</loc>"), std::string::npos);
}

TEST_F(Cli, IgnoresAByteOrderMarkAndReadsGbk) {
  EXPECT_EQ(Run("", "\xEF\xBB\xBFx\n").out, Expected("x\r\n"));
  EXPECT_EQ(Run("--input-encoding gbk", "\xC1\xB4\xBD\xD3\n").out,
            Expected("\xC1\xB4\xBD\xD3\r\n"));
  EXPECT_EQ(Run("--input-encoding=GBK", "x").out, Expected("x"));
}

TEST_F(Cli, ReadsAFileAndWritesTheOutputFile) {
  WriteFile(dir_ / "links.txt", "one\ntwo\n");
  WriteFile(dir_ / "out.xml", "old");
  const Result r = Run((dir_ / "links.txt") + " -o " + (dir_ / "out.xml"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(dir_ / "out.xml"), Expected("one\r\ntwo\r\n"));
}

struct BadInput {
  const char* name;
  std::string args;
  std::string input;
  std::string message;
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class CliBadInput : public Cli, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CliBadInput, FailsWithOneLineNamingTheLineAndWritesNothing) {
  WriteFile(dir_ / "out.xml", "old");
  const Result r = Run(GetParam().args + " -o " + (dir_ / "out.xml"), GetParam().input);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: standard input, " + GetParam().message + "\n");
  EXPECT_EQ(ReadFile(dir_ / "out.xml"), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliBadInput,
    ::testing::Values(
        BadInput{"ControlCharacter", "", "ok\n\x0C\n", "line 2: control character U+000C"},
        BadInput{"InvalidUtf8", "", "a\nb\nc\xC3(\n", "line 3: invalid UTF-8"},
        BadInput{"Overlong", "", "\xC0\xAF",
                 "line 1: invalid UTF-8; is it GBK? try --input-encoding gbk"},
        BadInput{"Nul", "", std::string("a\nb\0", 4), "line 2: NUL byte in the input"},
        BadInput{"InvalidGbk", "--input-encoding gbk", "a\n\xFF", "line 2: invalid GBK"},
        BadInput{"TruncatedGbk", "--input-encoding gbk", "a\n\xC1",
                 "line 2: input ends inside a GBK character"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, UnreadableInputAndUnwritableOutputFail) {
  Result r = Run(dir_ / "absent.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot read '" + (dir_ / "absent.txt") +
                       "': No such file or directory\n");

  r = Run("-o " + (dir_ / "missing/out.xml"), "x");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot write '" + (dir_ / "missing/out.xml") +
                       "': No such file or directory\n");
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  for (const char* args : {"--bogus", "-o", "--input-encoding latin1", "a b"}) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("usage: lirrevo-cli"), std::string::npos) << args;
  }
}

TEST_F(Cli, HelpAndVersion) {
  Result r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--input-encoding"), std::string::npos);
  r = Run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("lirrevo-cli ", 0), 0u);
}

}  // namespace
}  // namespace lirrevo
