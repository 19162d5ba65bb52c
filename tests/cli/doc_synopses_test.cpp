#include "cli/doc_synopses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/help_text.h"
#include "cli/option_table.h"

namespace lirrevo::cli {
namespace {

std::string Marker(const std::string& name) { return "<!-- synopsis: " + name + " -->\n"; }

std::string Block(const char* name) {
  std::string block;
  const std::string synopsis = Synopsis(*FindCommand(name));
  for (std::size_t start = 0; start < synopsis.size();) {
    const std::size_t end = synopsis.find('\n', start) + 1;
    block += "    " + synopsis.substr(start, end - start);
    start = end;
  }
  return block;
}

// A README whose every command has its marker and the block given (the
// right one where the block is empty), with text around them.
std::string Readme(const std::string& check_block) {
  std::string readme = "# Lirrevo\n\nText.\n\n";
  for (const CommandRow& command : CommandTable()) {
    const std::string name(command.name);
    const std::string block =
        name == "check" && !check_block.empty() ? check_block : Block(name.c_str());
    readme += "## " + name + "\n\n" + Marker(name) + "\n" + block + "\nAfter it.\n";
  }
  return readme;
}

// A stale block is written anew, the rest kept; a README in step stays as it is.
TEST(ReadmeWithSynopses, WritesTheStaleBlockAndKeepsTheRest) {
  const SynopsesInDocument synced =
      ReadmeWithSynopses(Readme("    lirrevo-cli check [--old]\n                      [INPUT]\n"));
  ASSERT_EQ(synced.problem, "");
  EXPECT_EQ(synced.changed, std::vector<std::string>{"check"});
  EXPECT_EQ(synced.text, Readme(""));
  EXPECT_TRUE(ReadmeWithSynopses(synced.text).changed.empty());
}

// A new command's marker, with no block yet, gets one.
TEST(ReadmeWithSynopses, FillsAnEmptyBlock) {
  std::string readme = Readme("");
  const std::string block = Block("update");
  readme.erase(readme.find(block), block.size());
  const SynopsesInDocument synced = ReadmeWithSynopses(readme);
  EXPECT_EQ(synced.changed, std::vector<std::string>{"update"});
  EXPECT_EQ(synced.text, Readme(""));
}

struct ProblemCase {
  const char* name;
  std::string readme;
  const char* problem;
};

void PrintTo(const ProblemCase& c, std::ostream* os) { *os << c.name; }

class ReadmeProblemTest : public testing::TestWithParam<ProblemCase> {};

TEST_P(ReadmeProblemTest, NamesWhatIsWrongAndGivesNoText) {
  const SynopsesInDocument synced = ReadmeWithSynopses(GetParam().readme);
  EXPECT_EQ(synced.problem, GetParam().problem);
  EXPECT_EQ(synced.text, "");
}

std::string Without(std::string text, const std::string& part) {
  text.erase(text.find(part), part.size());
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadmeProblemTest,
    testing::Values(
        ProblemCase{"MarkerMissing", Without(Readme(""), Marker("scan-log")),
                    "no synopsis of scan-log: no line \"<!-- synopsis: scan-log -->\""},
        ProblemCase{"UnknownCommand", Readme("") + Marker("crawler") + "\n",
                    "a synopsis marker names no command: 'crawler'"},
        ProblemCase{"TwoMarkers", Readme("") + Marker("check") + "\n", "two synopses of check"},
        ProblemCase{"NoBlankLine", Without(Readme(""), Marker("update") + "\n") + Marker("update"),
                    "no blank line after the synopsis marker of update"}),
    [](const auto& info) { return std::string(info.param.name); });

const char* const kPage =
    ".TH LIRREVO-CLI 1\n"
    ".SH NAME\n"
    "lirrevo-cli \\- a name\n"
    ".SH SYNOPSIS\n"
    ".B lirrevo-cli\n"
    ".RI [ options ]\n"
    ".SH DESCRIPTION\n"
    "Text.\n";

TEST(ManPageWithSynopsis, ReplacesTheSectionOnly) {
  const SynopsesInDocument synced = ManPageWithSynopsis(kPage);
  ASSERT_EQ(synced.problem, "");
  EXPECT_EQ(synced.changed, std::vector<std::string>{"SYNOPSIS"});
  EXPECT_EQ(synced.text, ".TH LIRREVO-CLI 1\n.SH NAME\nlirrevo-cli \\- a name\n" + ManSynopsis() +
                             ".SH DESCRIPTION\nText.\n");
  EXPECT_TRUE(ManPageWithSynopsis(synced.text).changed.empty());
}

TEST(ManPageWithSynopsis, RefusesAPageWithoutTheSection) {
  const SynopsesInDocument synced = ManPageWithSynopsis(".TH X 1\n.SH NAME\nx\n");
  EXPECT_EQ(synced.problem, "no line \".SH SYNOPSIS\"");
  EXPECT_EQ(synced.text, "");
}

}  // namespace
}  // namespace lirrevo::cli
