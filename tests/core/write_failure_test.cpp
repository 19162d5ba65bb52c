// WriteBytesToFile against the file-write matrix, laid out for real in a
// fresh folder per case, and the cases that need more than a folder:
// ownership, relative paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/document/output_encoding.h"
#include "core/document/sitemap_document.h"
#include "core/files/file_output.h"
#include "core/generate_command.h"
#include "tests/support/child_process.h"
#include "tests/support/document_text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/write_matrix.h"

namespace lirrevo {
namespace {

// A real document of about 20 KB, larger than the matrix's file-size limit.
std::string Document(int links = 100) {
  std::string box;
  for (int i = 0; i < links; ++i)
    box += "http://www.example.com/page?id=" + std::to_string(i) + "\r\n";
  return test::DocumentOfText(box, DateTime{2015, 2, 12});
}

class WriteMatrix : public ::testing::TestWithParam<test::WriteCase> {};

TEST_P(WriteMatrix, WriteBytesToFile) {
  const test::WriteCase& c = GetParam();
  if (c.runner == test::Runner::kUnprivileged && !test::CanSwitchUser()) {
    GTEST_SKIP() << "needs root to switch to an unprivileged user";
  }
  test::TempFolder folder;
  std::string target;
  try {
    target = c.setup(folder);
  } catch (const test::SetupRefused& refused) {
    GTEST_SKIP() << refused.what();
  }
  const test::Snapshot before = test::TakeSnapshot(folder.path());
  const std::string document = Document();
  ASSERT_GT(document.size(), test::kFileSizeLimit);
  test::Receiver receiver(c, target);
  test::ChildConditions conditions = test::ConditionsFor(c);
  conditions.standard_output = receiver.standard_output();
  const test::ChildOutcome outcome =
      test::RunInChild(conditions, [&] { return WriteBytesToFile(target, document); });
  test::ExpectWriteOutcome(c, folder, target, before, outcome.ok, document, receiver.Take());
  if (!c.writes) {
    EXPECT_EQ(outcome.error, c.error) << std::strerror(outcome.error);
  }
}

INSTANTIATE_TEST_SUITE_P(AllCases, WriteMatrix, ::testing::ValuesIn(test::WriteCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WriteBytesToFile, EmptyPathTouchesNothing) {
  test::TempFolder folder;
  const test::ChildOutcome outcome = test::RunInChild(
      {}, [&] { return chdir(folder.path().c_str()) == 0 && WriteBytesToFile("", Document()); });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, EINVAL);
  EXPECT_TRUE(test::TakeSnapshot(folder.path()).empty());
}

TEST(WriteBytesToFile, EmptyDocumentLeavesEmptyFile) {
  test::TempFolder folder;
  test::WriteFile(folder / "out.xml", test::kOldContent, 0640);
  EXPECT_TRUE(WriteBytesToFile(folder / "out.xml", ""));
  EXPECT_EQ(test::ReadFile(folder / "out.xml"), "");
  EXPECT_EQ(test::ModeOf(folder / "out.xml"), 0640u);
}

TEST(WriteBytesToFile, RelativePathsResolveFromCurrentFolder) {
  test::TempFolder folder;
  test::MakeFolder(folder / "sub");
  test::MakeLink("../created.xml", folder / "sub/link.xml");
  const std::string document = Document(3);
  const test::ChildOutcome outcome = test::RunInChild({}, [&] {
    return chdir(folder.path().c_str()) == 0 && WriteBytesToFile("plain.xml", document) &&
           WriteBytesToFile("sub/link.xml", document);
  });
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(test::ReadFile(folder / "plain.xml"), document);
  EXPECT_EQ(test::ReadFile(folder / "created.xml"), document);
  EXPECT_EQ(std::filesystem::read_symlink(folder / "sub/link.xml"), "../created.xml");
}

TEST(WriteBytesToFile, ReplacedFileKeepsItsOwner) {
  if (!test::CanSwitchUser()) GTEST_SKIP() << "needs root to give a file to another user";
  test::TempFolder folder;
  const test::UserIds user = test::UnprivilegedUser();
  test::WriteFile(folder / "out.xml", test::kOldContent, 0640);
  test::SetOwner(folder / "out.xml", user.uid, user.gid);
  ASSERT_TRUE(WriteBytesToFile(folder / "out.xml", Document(1)));
  EXPECT_EQ(test::OwnerOf(folder / "out.xml"), user.uid);
  EXPECT_EQ(test::ModeOf(folder / "out.xml"), 0640u);
}

}  // namespace
}  // namespace lirrevo
