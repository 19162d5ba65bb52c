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

#include "tests/test_support.h"

namespace lirrevo {
namespace {

using testing::ModeOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

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
  TempDir dir;
  Command run;
  run.Generate();
  EXPECT_EQ(run.calls, std::vector<std::string>{"ask"});
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(GenerateSitemapFile, EmptyBoxWritesTheEmptyDocument) {
  TempDir dir;
  Command run;
  run.answer = dir.File("out.xml");
  run.Generate();
  EXPECT_EQ(run.calls, (std::vector<std::string>{"ask", "read", "clock", "show"}));
  EXPECT_EQ(run.messages, std::vector<std::string>{kSuccess});
  EXPECT_EQ(ReadFile(dir.File("out.xml")), kEmptyDocument);
}

TEST(GenerateSitemapFile, ReplacesALongerFileWhole) {
  TempDir dir;
  WriteFile(dir.File("out.xml"), std::string(10000, 'Q'));
  Command run;
  run.answer = dir.File("out.xml");
  run.box = "http://a.cn/1";
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kSuccess});
  const std::string written = ReadFile(dir.File("out.xml"));
  EXPECT_EQ(written.size(), 63u + 148 + 9 + 13);
  EXPECT_EQ(written.find('Q'), std::string::npos);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.xml"});
}

TEST(GenerateSitemapFile, UnconvertibleDocumentFailsAndTouchesNoFile) {
  TempDir dir;
  WriteFile(dir.File("old.xml"), "old");
  for (const std::optional<std::string>& box : {std::optional<std::string>("a\r\n\xFF"),
                                                std::optional<std::string>()}) {
    Command run;
    run.box = box;
    run.answer = dir.File("new.xml");
    run.Generate();
    run.answer = dir.File("old.xml");
    run.Generate();
    EXPECT_EQ(run.messages, (std::vector<std::string>{kFailure, kFailure}));
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.xml"});
  EXPECT_EQ(ReadFile(dir.File("old.xml")), "old");
}

TEST(GenerateSitemapFile, WriteFailureShowsFailureOnce) {
  TempDir dir;
  Command run;
  run.answer = dir.File("missing/out.xml");
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kFailure});
  run.messages.clear();
  run.answer = std::string();
  run.Generate();
  EXPECT_EQ(run.messages, std::vector<std::string>{kFailure});
}

TEST(WriteBytesToFile, RefusesWithoutChangingAnything) {
  TempDir dir;
  WriteFile(dir.File("readonly.xml"), "keep");
  chmod(dir.File("readonly.xml").c_str(), 0444);
  std::filesystem::create_directory(dir.File("folder"));

  EXPECT_FALSE(WriteBytesToFile("", "x"));
  EXPECT_FALSE(WriteBytesToFile(dir.File("readonly.xml"), "new"));
  EXPECT_FALSE(WriteBytesToFile(dir.File("folder"), "new"));
  EXPECT_FALSE(WriteBytesToFile(dir.File("folder/"), "new"));
  EXPECT_FALSE(WriteBytesToFile(dir.File("missing/out.xml"), "new"));
  EXPECT_FALSE(WriteBytesToFile(dir.File(std::string(300, 'n')), "new"));

  EXPECT_EQ(ReadFile(dir.File("readonly.xml")), "keep");
  EXPECT_EQ(ModeOf(dir.File("readonly.xml")), 0444u);
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
  EXPECT_EQ(dir.Entries().size(), 2u);
}

TEST(WriteBytesToFile, KeepsPermissionBitsOfAReplacedFile) {
  TempDir dir;
  for (const mode_t mode : {0600, 0640, 0604}) {
    const std::string path = dir.File("m" + std::to_string(mode));
    WriteFile(path, "old");
    chmod(path.c_str(), mode);
    ASSERT_TRUE(WriteBytesToFile(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), mode);
  }
}

TEST(WriteBytesToFile, NewFileGetsTheUsualModeUnderTheUmask) {
  TempDir dir;
  const mode_t old_mask = umask(027);
  const bool written = WriteBytesToFile(dir.File("new.xml"), "");
  umask(old_mask);
  ASSERT_TRUE(written);
  EXPECT_EQ(ReadFile(dir.File("new.xml")), "");
  EXPECT_EQ(ModeOf(dir.File("new.xml")), 0640u);
}

TEST(WriteBytesToFile, FollowsSymbolicLinksAndKeepsThem) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  WriteFile(dir.File("real/target.xml"), "old");
  std::filesystem::create_symlink("real/target.xml", dir.File("link.xml"));
  std::filesystem::create_symlink("real/absent.xml", dir.File("dangling.xml"));

  ASSERT_TRUE(WriteBytesToFile(dir.File("link.xml"), "new"));
  ASSERT_TRUE(WriteBytesToFile(dir.File("dangling.xml"), "made"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.xml")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.xml")));
  EXPECT_EQ(ReadFile(dir.File("real/target.xml")), "new");
  EXPECT_EQ(ReadFile(dir.File("real/absent.xml")), "made");
}

TEST(WriteBytesToFile, HoldsExactlyTheBytes) {
  TempDir dir;
  const std::string bytes("\xEF\xBB\xBF\0\r\n\xFF", 7);
  ASSERT_TRUE(WriteBytesToFile(dir.File("b"), bytes));
  EXPECT_EQ(ReadFile(dir.File("b")), bytes);
}

// A file-size limit in a child makes the write stop short, as a full disk does.
TEST(WriteBytesToFile, ShortWriteLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("out.xml");
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
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.xml"});
}

}  // namespace
}  // namespace lirrevo
