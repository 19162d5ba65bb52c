#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo::cli {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The options a help names where it offers them: in its synopsis (the lines
// up to the first blank one) and at the start of its option lines.
std::set<std::string> OfferedOptions(const std::string& help) {
  std::set<std::string> names;
  bool in_synopsis = true;
  for (const std::string& line : LinesOf(help)) {
    if (line.empty()) in_synopsis = false;
    std::istringstream words(in_synopsis ? line : line.substr(0, line.find("  ", 2)));
    if (!in_synopsis && !line.starts_with("  -")) continue;
    for (std::string word; words >> word;) {
      word.erase(0, word.find_first_not_of('['));
      word.erase(std::min(word.find_first_of(",]"), word.size()));
      if (word.starts_with('-')) names.insert(word);
    }
  }
  return names;
}

// The text's words, in lower case, each after one space.
std::string Words(const std::string& text) {
  std::istringstream in(text);
  std::string words;
  for (std::string word; in >> word;) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    words += (words.empty() ? "" : " ") + word;
  }
  return words;
}

// What a command's help offers and withholds, and how its synopsis begins
// (the command, a needed option outside brackets) and ends (the operands).
struct HelpCase {
  const char* command;
  std::vector<std::string> offered;
  std::vector<std::string> not_offered;
  const char* begins;
  const char* ends;  // the synopsis's last words, lower case
};

void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.command; }

class CommandHelpTest : public testing::TestWithParam<HelpCase> {};

TEST_P(CommandHelpTest, OffersItsOwnOptionsOnly) {
  const HelpCase& c = GetParam();
  const std::string help = CommandHelp(*FindCommand(c.command));
  const std::set<std::string> offered = OfferedOptions(help);
  for (const std::string& name : c.offered) EXPECT_TRUE(offered.contains(name)) << name << help;
  for (const std::string& name : c.not_offered) EXPECT_FALSE(offered.contains(name)) << name;
  EXPECT_TRUE(help.starts_with(c.begins)) << help;
  EXPECT_TRUE(Words(help.substr(0, help.find("\n\n"))).ends_with(c.ends)) << help;
  EXPECT_NE(help.find("\nExample:\n  lirrevo-cli "), std::string::npos) << help;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandHelpTest,
    testing::Values(
        HelpCase{"generate",
                 {"-o", "--output", "--split", "--index-url", "--gzip", "--standard",
                  "--input-encoding", "--max-input", "--help"},
                 {"--sitemap", "--site", "--concurrency", "--format", "--crawlers"},
                 "usage: lirrevo-cli [generate] [--input-encoding E] [",
                 " [input]"},
        HelpCase{"check",
                 {"--sitemap", "--concurrency", "--timeout", "--rate", "--cacert", "--format", "-o",
                  "--split", "--input-encoding"},
                 {"--site", "--status", "--log-format", "--crawlers", "--crawler", "--exclude",
                  "--min-hits", "--strip-query", "--since", "--until"},
                 "usage: lirrevo-cli check [--input-encoding E] [",
                 " [--sitemap] [input]"},
        HelpCase{"scan-log",
                 {"--site", "--status", "--log-format", "--crawlers", "--crawler", "--exclude",
                  "--since", "--until", "--format", "-o"},
                 {"--sitemap", "--concurrency", "--rate", "--input-encoding", "--max-input"},
                 "usage: lirrevo-cli scan-log --site URL [-o OUTPUT] [",
                 " [log...]"},
        HelpCase{"update",
                 {"--concurrency", "--timeout", "--split", "--index-url", "--gzip", "--standard"},
                 {"-o", "--output", "--sitemap", "--format", "--site"},
                 "usage: lirrevo-cli update [--input-encoding E] [",
                 " file [input...]"}),
    [](const auto& info) {
      std::string name = info.param.command;
      std::erase(name, '-');
      return name;
    });

// Every help fits a terminal of kHelpWidth columns: a synopsis breaks between
// words, its further lines under its first option, and each option takes one
// line, since a line that continued another would be read as one.
TEST(Help, FitsTheWidthOptionsOnOneLineEach) {
  std::vector<std::string> helps = {MainHelp()};
  for (const CommandRow& command : CommandTable()) helps.push_back(CommandHelp(command));
  for (const std::string& help : helps) {
    const std::vector<std::string> lines = LinesOf(help);
    const std::size_t indent = lines[0].find(' ', std::string("usage: lirrevo-cli ").size()) + 1;
    bool in_synopsis = true;
    bool in_options = false;
    for (const std::string& line : lines) {
      EXPECT_LE(line.size(), kHelpWidth) << line;
      in_synopsis = in_synopsis && !line.empty();
      if (in_synopsis && line != lines[0]) {
        EXPECT_EQ(line.find_first_not_of(' '), indent) << line;
      }
      if (in_options && !line.empty()) {
        EXPECT_TRUE(line.starts_with("  -")) << line;
      }
      in_options = line == "Options:" || (in_options && !line.empty());
    }
  }
}

TEST(MainHelp, ListsTheCommandsAndTheGlobalOptionsOnly) {
  const std::string help = MainHelp();
  for (const char* line :
       {"\n  generate  write the dead-link document", "\n  check     ask every link",
        "\n  scan-log  list the dead links", "\n  update    keep a dead-link file true"}) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(OfferedOptions(help), (std::set<std::string>{"-h", "--help", "--version"}));
}

// groff sets the man page's synopses, without a warning, as the same words
// as the help's (the man page writes values in lower case).
TEST(ManSynopsis, SetByGroffAsTheHelpsSynopses) {
  const test::TempFolder folder;
  const std::string page = folder.path() + "/page.1";
  std::ofstream(page) << ".TH LIRREVO-CLI 1\n" << ManSynopsis();
  const test::ProgramOutcome set = test::RunProgram(
      {"/usr/bin/groff", "-man", "-Tascii", "-ww", "-P-cbou", "-rLL=300n", page}, "");
  ASSERT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.err, "");
  std::string expected = "SYNOPSIS";
  for (const CommandRow& command : CommandTable()) expected += " " + Synopsis(command);
  const std::string out = set.out.substr(set.out.find("SYNOPSIS"));
  EXPECT_EQ(Words(out.substr(0, out.find("LIRREVO-CLI"))), Words(expected));
}

}  // namespace
}  // namespace lirrevo::cli
