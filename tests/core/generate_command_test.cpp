#include "core/generate_command.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ModeOf;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// What the folder holds, by relative path.
std::vector<std::string> Names(const TempFolder& dir) {
  std::vector<std::string> names;
  for (const auto& [name, what] : test::TakeSnapshot(dir.path())) names.push_back(name);
  return names;
}

const std::string kSuccess = "\xC9\xFA\xB3\xC9\xB3\xC9\xB9\xA6\xA3\xA1";  // 生成成功！
const std::string kFailure = "\xCA\xA7\xB0\xDC";                          // 失败
const std::string kEmptyDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <urlset>\r\n  </urlset>";

// Runs the command with recording stand-ins for the window's operations.
struct Command {
  std::optional<std::string> box = std::string();
  std::optional<std::string> answer;
  std::vector<std::string> calls;
  std::vector<std::string> messages;

  void Generate() {
    GenerateSitemapFile(
        [&] { return calls.push_back("read"), box; },
        [&] { return calls.push_back("ask"), answer; },
        [&](const std::string& text) { calls.push_back("show"), messages.push_back(text); },
        [&] { return calls.push_back("clock"), DateTime{2015, 2, 12}; });
  }
};

TEST(GenerateSitemapFile, CancelledDialogDoesNothingElse) {
  TempFolder dir;
  Command run;
  run.Generate();
  EXPECT_EQ(run.calls, std::vector<std::string>{"ask"});
  EXPECT_TRUE(Names(dir).empty());
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
  EXPECT_EQ(Names(dir), std::vector<std::string>{"out.xml"});
}

TEST(GenerateSitemapFile, UnconvertibleDocumentFailsAndTouchesNoFile) {
  TempFolder dir;
  WriteFile(dir / "old.xml", "old");
  for (const std::optional<std::string>& box : {std::optional<std::string>("a\r\n\xFF"),
                                                std::optional<std::string>()}) {
    Command run;
    run.box = box;
    run.answer = dir / "new.xml";
    run.Generate();
    run.answer = dir / "old.xml";
    run.Generate();
    EXPECT_EQ(run.messages, (std::vector<std::string>{kFailure, kFailure}));
  }
  EXPECT_EQ(Names(dir), std::vector<std::string>{"old.xml"});
  EXPECT_EQ(ReadFile(dir / "old.xml"), "old");
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

TEST(WriteBytesToFile, RefusesWithoutChangingAnything) {
  TempFolder dir;
  WriteFile(dir / "readonly.xml", "keep");
  test::SetMode(dir / "readonly.xml", 0444);
  test::MakeFolder(dir / "folder");

  EXPECT_FALSE(WriteBytesToFile("", "x"));
  EXPECT_FALSE(WriteBytesToFile(dir / "readonly.xml", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "folder", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "folder/", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "missing/out.xml", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / std::string(300, 'n'), "new"));

  EXPECT_EQ(ReadFile(dir / "readonly.xml"), "keep");
  EXPECT_EQ(ModeOf(dir / "readonly.xml"), 0444u);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
  EXPECT_EQ(Names(dir).size(), 2u);
}

TEST(WriteBytesToFile, KeepsPermissionBitsOfAReplacedFile) {
  TempFolder dir;
  for (const mode_t mode : {0600, 0640, 0604}) {
    const std::string path = dir / ("m" + std::to_string(mode));
    WriteFile(path, "old", mode);
    ASSERT_TRUE(WriteBytesToFile(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), mode);
  }
}

TEST(WriteBytesToFile, NewFileGetsTheUsualModeUnderTheUmask) {
  TempFolder dir;
  const mode_t old_mask = umask(027);
  const bool written = WriteBytesToFile(dir / "new.xml", "");
  umask(old_mask);
  ASSERT_TRUE(written);
  EXPECT_EQ(ReadFile(dir / "new.xml"), "");
  EXPECT_EQ(ModeOf(dir / "new.xml"), 0640u);
}

TEST(WriteBytesToFile, FollowsSymbolicLinksAndKeepsThem) {
  TempFolder dir;
  test::MakeFolder(dir / "real");
  WriteFile(dir / "real/target.xml", "old");
  test::MakeLink("real/target.xml", dir / "link.xml");
  test::MakeLink("real/absent.xml", dir / "dangling.xml");

  ASSERT_TRUE(WriteBytesToFile(dir / "link.xml", "new"));
  ASSERT_TRUE(WriteBytesToFile(dir / "dangling.xml", "made"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.xml"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.xml"));
  EXPECT_EQ(ReadFile(dir / "real/target.xml"), "new");
  EXPECT_EQ(ReadFile(dir / "real/absent.xml"), "made");
}

TEST(WriteBytesToFile, HoldsExactlyTheBytes) {
  TempFolder dir;
  const std::string bytes("\xEF\xBB\xBF\0\r\n\xFF", 7);
  ASSERT_TRUE(WriteBytesToFile(dir / "b", bytes));
  EXPECT_EQ(ReadFile(dir / "b"), bytes);
}

// A file-size limit in a child makes the write stop short, as a full disk does.
TEST(WriteBytesToFile, ShortWriteLeavesTheOldFileAndNoTemporary) {
  TempFolder dir;
  const std::string path = dir / "out.xml";
  WriteFile(path, "precious old content");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteBytesToFile(path, std::string(100000, 'n')) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the short write was reported as success";
  EXPECT_EQ(ReadFile(path), "precious old content");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"out.xml"});
}

}  // namespace
}  // namespace lirrevo
