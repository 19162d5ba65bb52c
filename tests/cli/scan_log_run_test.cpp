// lirrevo-cli scan-log on logs as servers write them: plain, gzip and piped,
// with odd lines, and the document of what it finds.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ReadFile;
using test::WriteFile;

test::ProgramOutcome RunCli(const std::vector<std::string>& args, const std::string& input = "") {
  setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1);
  std::vector<std::string> argv = {LIRREVO_CLI};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunProgram(argv, input);
}

std::string Line(const std::string& request, int status) {
  return "203.0.113.9 - - [01/Dec/2026:00:00:00 +0800] \"" + request + "\" " +
         std::to_string(status) + " 0 \"-\" \"curl/8.4.0\"\n";
}

void WriteGzip(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
}

TEST(ScanLog, ListsTheDeadLinksOfEveryLogOnceInTheOrderFirstSeen) {
  test::TempFolder dir;
  WriteFile(dir / "access.log", Line("GET /gone HTTP/1.1", 404) + Line("-", 400) +
                                    Line("GET /live HTTP/1.1", 200) +
                                    Line("CONNECT e.cn:443 HTTP/1.1", 405) +
                                    Line("HEAD /old?id=1&p=%E6%96%B0 HTTP/1.1", 410) +
                                    "203.0.113.9 - - [01/Dec/2026:00:00:00 +0800] \"GET /cut");
  WriteGzip(dir / "access.log.1.gz", Line("GET /gone HTTP/1.1", 410) +
                                         Line("POST /form HTTP/1.1", 404) +
                                         Line("GET /moved HTTP/1.1", 404));
  const std::string piped = Line("GET /piped HTTP/1.1", 404);
  const test::ProgramOutcome r = RunCli(
      {"scan-log", "--site", "https://e.cn/", dir / "access.log", dir / "access.log.1.gz", "-"},
      piped);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "https://e.cn/gone\nhttps://e.cn/old?id=1&p=%E6%96%B0\nhttps://e.cn/moved\n"
            "https://e.cn/piped\n");
  EXPECT_EQ(r.err, "lirrevo-cli: '" + (dir / "access.log") +
                       "': 3 lines not in the log's layout, skipped: lines 2, 4, 6\n");

  // The same links as a document, exactly what the list gives.
  const test::ProgramOutcome doc =
      RunCli({"scan-log", "--site", "https://e.cn", "--status", "200", "-o", dir / "scan.xml",
              "--standard", dir / "access.log"});
  ASSERT_EQ(doc.exit_code, 0) << doc.err;
  ASSERT_EQ(RunCli({"-o", dir / "list.xml", "--standard"}, "https://e.cn/live\n").exit_code, 0);
  EXPECT_EQ(ReadFile(dir / "scan.xml"), ReadFile(dir / "list.xml"));

  // A log is never the output.
  const std::optional<std::string> log = ReadFile(dir / "access.log");
  EXPECT_EQ(RunCli({"scan-log", "--site", "https://e.cn", "-o", dir / "access.log",
                    dir / "access.log.1.gz", dir / "access.log"})
                .exit_code,
            2);
  EXPECT_EQ(ReadFile(dir / "access.log"), log);
}

TEST(ScanLog, ALogWithNoLineInItsLayoutFails) {
  const test::ProgramOutcome r =
      RunCli({"scan-log", "--site", "https://e.cn"}, "not a log\nat all\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "lirrevo-cli: standard input: 2 lines not in the log's layout, skipped: lines 1, 2\n"
            "lirrevo-cli: no line of the logs is in the log's layout; --log-format tells it\n");
  const test::ProgramOutcome custom =
      RunCli({"scan-log", "--site", "https://e.cn", "--log-format", "$status $request"},
             "404 GET /a HTTP/1.1\n");
  EXPECT_EQ(custom.out, "https://e.cn/a\n");
}

}  // namespace
}  // namespace lirrevo
