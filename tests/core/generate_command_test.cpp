#include "core/generate_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string kSuccess = "\xC9\xFA\xB3\xC9\xB3\xC9\xB9\xA6\xA3\xA1";  // 生成成功！
const std::string kFailure = "\xCA\xA7\xB0\xDC";                          // 失败
const std::string kEmptyDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <urlset>\r\n  </urlset>";

// Runs the command with recording stand-ins for the window's operations.
struct Command {
  std::optional<std::string> box = std::string();
  std::optional<std::string> answer;
  std::optional<bool> split;  // the answer to the parts' question, where it is asked
  std::vector<std::string> calls;
  std::vector<std::string> messages;

  void Generate() {
    AskQuestionFn ask_split;
    if (split) ask_split = [&](const std::string&) { return calls.push_back("split"), *split; };
    GenerateSitemapFile(
        [&]() -> std::optional<BoxUtf8> {
          calls.push_back("read");
          if (!box) return std::nullopt;
          return BoxUtf8(*box);
        },
        [&] { return calls.push_back("ask"), answer; },
        [&](const std::string& text) { calls.push_back("show"), messages.push_back(text); },
        [&] {
          return calls.push_back("clock"), DateTime{2015, 2, 12};
        },
        ask_split);
  }
};

TEST(GenerateSitemapFile, CancelledDialogDoesNothingElse) {
  TempFolder dir;
  Command run;
  run.Generate();
  EXPECT_EQ(run.calls, std::vector<std::string>{"ask"});
  EXPECT_TRUE(test::NamesIn(dir).empty());
}

TEST(GenerateSitemapFile, EmptyBoxWritesTheEmptyDocument) {
  TempFolder dir;
  Command run;
  run.answer = dir / "out.xml";
  run.Generate();
  EXPECT_EQ(run.calls, (std::vector<std::string>{"ask", "read", "clock", "show"}));
  EXPECT_EQ(run.messages, std::vector<std::string>{kSuccess});
  EXPECT_EQ(ReadFile(dir / "out.xml"), kEmptyDocument);
}

TEST(GenerateSitemapFile, ReplacesALongerFileWhole) {
  TempFolder dir;
  WriteFile(dir / "out.xml", std::string(10000, 'Q'));
  Command run;
  run.answer = dir / "out.xml";
  run.box = "http://a.cn/1";
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kSuccess});
  const std::string written = ReadFile(dir / "out.xml").value_or("");
  EXPECT_EQ(written.size(), 63u + 148 + 9 + 13);
  EXPECT_EQ(written.find('Q'), std::string::npos);
  EXPECT_EQ(test::NamesIn(dir), std::vector<std::string>{"out.xml"});
}

TEST(GenerateSitemapFile, UnconvertibleDocumentFailsAndTouchesNoFile) {
  TempFolder dir;
  WriteFile(dir / "old.xml", "old");
  for (const std::optional<std::string>& box :
       {std::optional<std::string>("a\r\n\xFF"), std::optional<std::string>()}) {
    Command run;
    run.box = box;
    run.answer = dir / "new.xml";
    run.Generate();
    run.answer = dir / "old.xml";
    run.Generate();
    EXPECT_EQ(run.messages, (std::vector<std::string>{kFailure, kFailure}));
  }
  EXPECT_EQ(test::NamesIn(dir), std::vector<std::string>{"old.xml"});
  EXPECT_EQ(ReadFile(dir / "old.xml"), "old");
}

// "是" on a list past the links' limit writes two parts, and the parts of an
// earlier, longer run past them go in the same commit.
TEST(GenerateSitemapFile, PartsReplaceThoseOfALongerRun) {
  TempFolder dir;
  for (const char* name : {"dead-2.xml", "dead-3.xml", "dead-4.xml"}) WriteFile(dir / name, "old");
  Command run;
  run.answer = dir / "dead.xml";
  run.split = true;
  run.box = std::string();
  for (std::size_t i = 0; i <= kEngineMaxUrls; ++i) *run.box += "h/" + std::to_string(i) + "\r\n";
  run.Generate();
  EXPECT_EQ(run.calls, (std::vector<std::string>{"ask", "read", "clock", "split", "show"}));
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_TRUE(run.messages[0].starts_with(kSuccess));
  EXPECT_EQ(test::NamesIn(dir), (std::vector<std::string>{"dead-1.xml", "dead-2.xml"}));
  EXPECT_NE(ReadFile(dir / "dead-2.xml"), "old");
}

TEST(GenerateSitemapFile, WriteFailureShowsFailureOnce) {
  TempFolder dir;
  Command run;
  run.answer = dir / "missing/out.xml";
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kFailure});
  run.messages.clear();
  run.answer = std::string();
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kFailure});
}

}  // namespace
}  // namespace lirrevo
