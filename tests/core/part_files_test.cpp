#include "core/part_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ReadFile;
using test::TempFolder;

TEST(PartFileName, TakesTheExtensionsOffTheChosenName) {
  EXPECT_EQ(PartFileName("dl/dead.xml", 1), "dl/dead-1.xml");
  EXPECT_EQ(PartFileName("dl/dead", 12), "dl/dead-12.xml");
  EXPECT_EQ(PartFileName("dl/dead.xml.gz", 2), "dl/dead-2.xml");
  EXPECT_EQ(PartFileName("dl/dead.txt", 3), "dl/dead.txt-3.xml");
  EXPECT_EQ(PartFileName("dl/dead.xml.gz", 4, true), "dl/dead-4.xml.gz");
}

// Part 2 cannot be put in place (its name became a folder meanwhile): the new
// part 1 goes again, an older part 1 is as it was, and no temporary file is
// left.
TEST(PartFiles, CommitThatFailsTakesBackTheNewParts) {
  for (const bool old_part : {false, true}) {
    TempFolder dir;
    if (old_part) test::WriteFile(dir / "dead-1.xml", "old");
    {
      PartFiles files(dir / "dead.xml");
      ASSERT_TRUE(files.BeginPart(1) && files.Write("part 1") && files.EndPart());
      ASSERT_TRUE(files.BeginPart(2) && files.Write("part 2") && files.EndPart());
      test::MakeFolder(dir / "dead-2.xml");
      EXPECT_FALSE(files.CommitAll());
    }
    EXPECT_EQ(ReadFile(dir / "dead-1.xml"),
              old_part ? std::optional<std::string>("old") : std::nullopt);
    const std::vector<std::string> left = old_part
                                              ? std::vector<std::string>{"dead-1.xml", "dead-2.xml"}
                                              : std::vector<std::string>{"dead-2.xml"};
    EXPECT_EQ(test::NamesIn(dir), left);
  }
}

}  // namespace
}  // namespace lirrevo
