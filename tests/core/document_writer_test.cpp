#include "core/files/document_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/document/part_names.h"
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

enum Shape { kOneFile = 0, kParts = 1, kGzip = 2, kIndex = 4 };

struct WriterCase {
  const char* name;
  const char* before;  // the names there already, each file holding "old"
  int shape;
  std::size_t parts;  // written, part N holding "pN"
  const char* after;  // the folder's names afterwards
  const char* input;  // the name of `before` that is the input, and so refused
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

class DocumentWriterTable : public ::testing::TestWithParam<WriterCase> {};

TEST_P(DocumentWriterTable, WritesTheFilesOfOneRun) {
  const WriterCase& c = GetParam();
  TempFolder dir;
  std::istringstream before(c.before);
  for (std::string name; before >> name;) test::WriteFile(dir / name, "old");
  DocumentFiles files;
  files.path = dir / "dead.xml";
  files.parts = (c.shape & kParts) != 0;
  files.gzip = (c.shape & kGzip) != 0;
  if (c.shape & kIndex) files.index_loc = [](const std::string& name) { return "e.cn/" + name; };
  struct stat input {};
  if (c.input != nullptr && stat((dir / c.input).c_str(), &input) == 0) files.input = input;
  DocumentWriter writer(std::move(files));
  bool ok = true;
  for (std::size_t n = 1; ok && n <= c.parts; ++n) {
    ok = writer.BeginPart(n) && writer.Write("p" + std::to_string(n)) && writer.EndPart();
  }
  EXPECT_EQ(ok && writer.Commit(c.parts), c.input == nullptr);
  EXPECT_EQ(Joined(test::NamesIn(dir)), c.after);
  if (c.input != nullptr) {
    EXPECT_EQ(writer.Failure()->kind, WriteFailure::Kind::kIsInput);
    EXPECT_EQ(writer.Failure()->path, dir / c.input);
    return;
  }
  for (std::size_t n = 1; n <= c.parts; ++n) {
    const std::string written =
        ReadFile(c.shape & kParts ? writer.PartName(n) : dir / "dead.xml").value_or("");
    EXPECT_EQ(c.shape & kGzip ? written.substr(0, 2) : written,
              c.shape & kGzip ? "\x1F\x8B" : "p" + std::to_string(n));
  }
  const std::string index = ReadFile(dir / "dead.xml").value_or("");
  if (c.shape == (kParts | kIndex)) {
    EXPECT_NE(index.find("<loc>e.cn/dead-2.xml</loc>"), index.npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DocumentWriterTable,
    ::testing::Values(
        WriterCase{"OneFileReplacesTheOld", "dead.xml", kOneFile, 1, "dead.xml", nullptr},
        WriterCase{"OneFileLeavesParts", "dead-1.xml", kOneFile, 1, "dead-1.xml dead.xml", nullptr},
        WriterCase{"Parts", "", kParts, 2, "dead-1.xml dead-2.xml", nullptr},
        WriterCase{"PartsAndIndex", "", kParts | kIndex, 2, "dead-1.xml dead-2.xml dead.xml",
                   nullptr},
        WriterCase{"GzipPartsAndIndex", "", kParts | kGzip | kIndex, 2,
                   "dead-1.xml.gz dead-2.xml.gz dead.xml", nullptr},
        WriterCase{"PartsOfALongerRunGo", "dead-2.xml dead-3.xml dead-4.xml dead-6.xml", kParts, 2,
                   "dead-1.xml dead-2.xml dead-6.xml", nullptr},
        WriterCase{"PartThatIsTheInput", "dead-2.xml", kParts, 2, "dead-2.xml", "dead-2.xml"},
        WriterCase{"OldPartThatIsTheInput", "dead-3.xml", kParts, 2, "dead-3.xml", "dead-3.xml"}),
    [](const auto& info) { return std::string(info.param.name); });

// Part 2 cannot be put in place (its name became a folder meanwhile): the new
// part 1 goes again, an older part 1 is as it was, and no temporary file is
// left.
TEST(DocumentWriter, CommitThatFailsTakesBackTheNewParts) {
  for (const bool old_part : {false, true}) {
    TempFolder dir;
    if (old_part) test::WriteFile(dir / "dead-1.xml", "old");
    {
      DocumentFiles files;
      files.path = dir / "dead.xml";
      files.parts = true;
      DocumentWriter writer(std::move(files));
      ASSERT_TRUE(writer.BeginPart(1) && writer.Write("part 1") && writer.EndPart());
      ASSERT_TRUE(writer.BeginPart(2) && writer.Write("part 2") && writer.EndPart());
      test::MakeFolder(dir / "dead-2.xml");
      EXPECT_FALSE(writer.Commit(2));
      EXPECT_EQ(writer.Failure()->path, dir / "dead-2.xml");
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
