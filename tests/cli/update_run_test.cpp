// `lirrevo-cli update` run after run against a test server on 127.0.0.1
// (tests/support/link_server.py) whose pages change between runs: never
// another address.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/link_server.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

// The locs of a document, plain or gzip, in order.
std::vector<std::string> LocsOf(const std::string& path) {
  const std::string text = test::RunProgram({"/bin/sh", "-c", "gzip -dcf \"$0\"", path}, "").out;
  std::vector<std::string> locs;
  for (std::size_t at = 0; (at = text.find("<loc>", at)) != std::string::npos;) {
    at += 5;
    locs.push_back(text.substr(at, text.find("</loc>", at) - at));
  }
  return locs;
}

struct Stamp {
  std::string bytes;
  timespec modified{};
};

Stamp StampOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return {test::ReadFile(path).value_or(""), st.st_mtim};
}

// One run: the pages' answers set first ("404", "200", "slow"; empty takes
// the page's file away, which is 404), the new links given, and what FILE
// must hold after it.
struct UpdateRun {
  std::map<std::string, std::string> pages;
  std::vector<std::string> inputs;
  int exit_code;
  std::vector<std::string> held;  // page names
  std::string says;               // standard error holds it
  bool unchanged = false;         // FILE keeps its bytes and its time
  bool server_down = false;
};

TEST(Update, KeepsTheFileTrueRunAfterRun) {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  const std::vector<UpdateRun> runs = {
      {{{"b", "200"}, {"c", "410"}},
       {"a", "b", "c", "a"},
       1,
       {"a", "c"},
       "2 dead links (+2 new, \u22120 came back, 0 not asked and kept)"},
      // c comes back, a cannot be asked in time, d dies, e is slow and new.
      {{{"c", "200"}, {"a", "slow"}, {"d", "404"}, {"e", "slow"}},
       {"d", "e", "b"},
       1,
       {"a", "d"},
       "2 dead links (+1 new, \u22121 came back, 1 not asked and kept)"},
      {{{"a", ""}}, {}, 0, {"a", "d"}, "2 dead links (+0 new", true},
      {{}, {"c"}, 2, {"a", "d"}, "no link got an answer from its server", true, true},
  };
  // One file, and an index of gzip parts of one link each in the standard form.
  const std::vector<std::vector<std::string>> forms = {
      {"dead.xml"},
      {"dead.xml.gz", "--split", "--max-urls", "1", "--index-url", "https://e.cn/d/", "--gzip",
       "--standard"}};
  for (const std::vector<std::string>& form : forms) {
    SCOPED_TRACE(form[0]);
    const test::TempFolder dir;
    test::LinkServer server(1, {}, dir.path());
    const std::string site = server.Http(1) + "/state/";
    const std::string file = dir / form[0];
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const UpdateRun& run = runs[r];
      SCOPED_TRACE("run " + std::to_string(r + 1));
      for (const auto& [page, answer] : run.pages) {
        if (answer.empty()) std::remove((dir / page).c_str());
        if (!answer.empty()) test::WriteFile(dir / page, answer);
      }
      if (run.server_down) server.Stop();
      std::vector<std::string> argv = {LIRREVO_CLI, "update", "--timeout", "1"};
      if (r == 0) argv.insert(argv.end(), form.begin() + 1, form.end());
      argv.insert(argv.end(), {file, "-"});
      std::string input;
      for (const std::string& page : run.inputs) input += site + page + "\n";
      const Stamp before = StampOf(file);
      const test::ProgramOutcome outcome = test::RunProgram(argv, input);
      EXPECT_EQ(outcome.exit_code, run.exit_code) << outcome.err;
      EXPECT_NE(outcome.err.find(run.says), std::string::npos) << outcome.err;
      const Stamp after = StampOf(file);
      if (run.unchanged) {
        EXPECT_EQ(after.bytes, before.bytes);
        EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
        EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
      }
      std::vector<std::string> expected;
      for (const std::string& page : run.held) expected.push_back(site + page);
      if (form.size() == 1) {
        EXPECT_EQ(LocsOf(file), expected);
        continue;
      }
      // The index lists exactly the parts on disk, one link each, in order.
      std::vector<std::string> held;
      const std::vector<std::string> parts = LocsOf(file);
      for (std::size_t n = 1; n <= parts.size(); ++n) {
        const std::string part = "dead-" + std::to_string(n) + ".xml.gz";
        EXPECT_EQ(parts[n - 1], "https://e.cn/d/" + part);
        for (const std::string& loc : LocsOf(dir / part)) held.push_back(loc);
      }
      EXPECT_FALSE(test::ReadFile(dir / ("dead-" + std::to_string(parts.size() + 1) + ".xml.gz")));
      EXPECT_EQ(held, expected);
    }
  }
}

}  // namespace
}  // namespace lirrevo
