// lirrevo-cli scan-log on logs as servers write them: plain, gzip and piped,
// with odd lines, and the document of what it finds.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
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

// text as one gzip member.
std::string Gzip(const std::string& text) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(ScanLog, ListsTheDeadLinksOfEveryLogOnceInTheOrderFirstSeen) {
  test::TempFolder dir;
  WriteFile(dir / "access.log", Line("GET /gone HTTP/1.1", 404) + Line("-", 400) +
                                    Line("GET /live HTTP/1.1", 200) +
                                    Line("CONNECT e.cn:443 HTTP/1.1", 405) +
                                    Line("HEAD /old?id=1&p=%E6%96%B0 HTTP/1.1", 410) +
                                    Line("GET /\xE6\x96 HTTP/1.1", 200) +
                                    "203.0.113.9 - - [01/Dec/2026:00:00:00 +0800] \"GET /cut");
  WriteFile(dir / "access.log.1.gz",
            Gzip(Line("GET /gone HTTP/1.1", 410) + Line("POST /form HTTP/1.1", 404) +
                 Line("GET /moved HTTP/1.1", 404)));
  const std::string piped = Line("GET /piped HTTP/1.1", 404);
  const test::ProgramOutcome r = RunCli(
      {"scan-log", "--site", "https://e.cn/", dir / "access.log", dir / "access.log.1.gz", "-"},
      piped);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "https://e.cn/gone\nhttps://e.cn/old?id=1&p=%E6%96%B0\nhttps://e.cn/moved\n"
            "https://e.cn/piped\n");
  EXPECT_EQ(r.err, "lirrevo-cli: '" + (dir / "access.log") +
                       "': 3 lines skipped (not in the log's layout, or not a request for a "
                       "page of the site): lines 2, 4, 7\n"
                       "lirrevo-cli: 11 lines read, 8 in the layout, 6 answered 404 or 410, 4 "
                       "distinct links\n");

  // The same links as a document, exactly what the list gives, a path that
  // is not UTF-8 among them.
  const test::ProgramOutcome doc =
      RunCli({"scan-log", "--site", "https://e.cn", "--status", "200", "-o", dir / "scan.xml",
              "--standard", dir / "access.log"});
  ASSERT_EQ(doc.exit_code, 0) << doc.err;
  ASSERT_EQ(
      RunCli({"-o", dir / "list.xml", "--standard"}, "https://e.cn/live\nhttps://e.cn/%E6%96\n")
          .exit_code,
      0);
  EXPECT_EQ(ReadFile(dir / "scan.xml"), ReadFile(dir / "list.xml"));

  // A log is never the output.
  const std::optional<std::string> log = ReadFile(dir / "access.log");
  EXPECT_EQ(RunCli({"scan-log", "--site", "https://e.cn", "-o", dir / "access.log",
                    dir / "access.log.1.gz", dir / "access.log"})
                .exit_code,
            2);
  EXPECT_EQ(ReadFile(dir / "access.log"), log);
}

// Lines cut by the blocks the log is read in, a line longer than any log's
// in the middle, and the last line without its line break: every line is
// read once, whole, from a file, through gzip and from a pipe.
TEST(ScanLog, ReadsEveryLineWholeAcrossBlocks) {
  test::TempFolder dir;
  std::string log, expected;
  for (int i = 0; i < 30000; ++i) {
    log += Line("GET /p" + std::to_string(i) + " HTTP/1.1", 404);
    expected += "https://e.cn/p" + std::to_string(i) + "\n";
    if (i == 15000) log += Line("GET /" + std::string(3 << 20, 'x') + " HTTP/1.1", 404);
  }
  log.pop_back();
  WriteFile(dir / "access.log", log);
  WriteFile(dir / "access.log.gz", Gzip(log));
  for (const std::string& source : {dir / "access.log", dir / "access.log.gz", std::string("-")}) {
    const test::ProgramOutcome r =
        RunCli({"scan-log", "--site", "https://e.cn", source}, source == "-" ? log : "");
    EXPECT_EQ(r.exit_code, 0) << source;
    EXPECT_TRUE(r.out == expected) << source;
    EXPECT_NE(r.err.find("1 line skipped (not in the log's layout, or not a request for a page "
                         "of the site): line 15002\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("30,001 lines read, 30,000 in the layout"), std::string::npos) << r.err;
  }
}

// A scan-log run over the log with the arguments: the paths printed (each
// after the site, space-separated) and the exit status.
struct ScanRow {
  std::vector<std::string> args;
  std::string paths;
  int exit_code = 0;
};

void ExpectScans(const std::string& log, std::initializer_list<ScanRow> rows) {
  for (const ScanRow& row : rows) {
    std::vector<std::string> args = {"scan-log", "--site", "https://e.cn"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const test::ProgramOutcome r = RunCli(args, log);
    std::string expected;
    for (std::size_t at = 0; at < row.paths.size();) {
      const std::size_t end = std::min(row.paths.find(' ', at), row.paths.size());
      expected += "https://e.cn" + row.paths.substr(at, end - at) + "\n";
      at = end + 1;
    }
    EXPECT_EQ(r.exit_code, row.exit_code) << (row.args.empty() ? "" : row.args[0]) << r.err;
    EXPECT_EQ(r.out, expected) << (row.args.empty() ? "" : row.args[0]);
  }
}

// Requests of crawlers, a browser and a scanner; which are kept, by option.
TEST(ScanLog, FiltersKeepTheLinksThatMatter) {
  const auto as = [](const std::string& path, const std::string& agent) {
    return "203.0.113.9 - - [01/Dec/2026:00:00:00 +0800] \"GET " + path +
           " HTTP/1.1\" 404 0 \"-\" \"" + agent + "\"\n";
  };
  const std::string google =
      "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";
  const std::string log = as("/g", google) + as("/b", "Mozilla/5.0 (compatible; Baiduspider/2.0)") +
                          as("/m?x=1", "Mozilla/5.0 (compatible; bingbot/2.0)") +
                          as("/m?x=2", "Mozilla/5.0 (compatible; BingBot/2.0)") + as("/g", google) +
                          as("/u", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/120.0") +
                          as("/wp-login.php", "python-requests/2.31") + as("/.env", "curl/8.4.0") +
                          as("/a/.env", "curl/8.4.0");
  ExpectScans(
      log,
      {
          {{}, "/g /b /m?x=1 /m?x=2 /u /wp-login.php /.env /a/.env"},
          {{"--crawlers"}, "/g /b /m?x=1 /m?x=2"},
          {{"--crawler", "baidu"}, "/b"},
          {{"--exclude", "/wp-*", "--exclude", "*.env"}, "/g /b /m?x=1 /m?x=2 /u"},
          {{"--strip-query", "--crawler", "bing"}, "/m"},
          {{"--min-hits", "2"}, "/g"},
          {{"--min-hits", "2", "--strip-query"}, "/g /m"},
          {{"--crawlers", "--log-format", "$remote_addr - - [$time_local] \"$request\" $status"},
           "",
           2},
          {{"--crawler", "altavista"}, "", 2},
      });
}

// Requests across a month, in the log's zone (+0800), two in one second,
// and one whose time is no time; which are kept, by --since and --until.
TEST(ScanLog, DatesKeepTheRequestsOfTheirSpan) {
  const auto at = [](const std::string& path, const std::string& time) {
    return "203.0.113.9 - - [" + time + "] \"GET " + path + " HTTP/1.1\" 404 0 \"-\" \"x\"\n";
  };
  const std::string log =
      at("/n30", "30/Nov/2026:23:59:59 +0800") + at("/d1", "01/Dec/2026:00:00:00 +0800") +
      at("/d1b", "01/Dec/2026:00:00:00 +0800") + at("/d5", "05/Dec/2026:23:59:59 +0800") +
      at("/d31", "31/Dec/2026:12:00:00 +0800") + at("/bad", "31/Dex/2026:12:00:00 +0800");
  ExpectScans(
      log,
      {
          {{}, "/n30 /d1 /d1b /d5 /d31 /bad"},
          {{"--since", "2026-12-01"}, "/d1 /d1b /d5 /d31"},
          {{"--until", "2026-12-05"}, "/n30 /d1 /d1b /d5"},
          {{"--since", "2026-12-01T00:00:01", "--until", "2026-12-05T23:59"}, ""},
          {{"--since", "2026-11-30T16:00Z"}, "/d1 /d1b /d5 /d31"},
          {{"--since", "2026-12-1"}, "", 2},
          {{"--since", "2026-12-01", "--log-format", "$remote_addr \"$request\" $status"}, "", 2},
      });
}

// The report: a line of figures a link, its referring pages split between
// the site's and other sites', the most counted first, three of each.
TEST(ScanLog, ReportsEachLinksHitsCrawlersDatesAndReferrers) {
  const auto hit = [](const std::string& path, int day, int status, const std::string& from,
                      const std::string& agent) {
    return "203.0.113.9 - - [" + std::string(day < 10 ? "0" : "") + std::to_string(day) +
           "/Dec/2026:08:00:00 +0800] \"GET " + path + " HTTP/1.1\" " + std::to_string(status) +
           " 0 \"" + from + "\" \"" + agent + "\"\n";
  };
  std::string log =
      hit("/old", 3, 404, "https://e.cn/a", "Mozilla/5.0 (compatible; Googlebot/2.1)") +
      hit("/old", 1, 410, "https://blog.org/p", "Baiduspider/2.0") +
      hit("/typo", 2, 404, "-", "curl/8.4.0");
  for (int i = 0; i < 12; ++i)
    log += hit("/old", 5, 404, "https://x.org/" + std::to_string(i % 6), "Mozilla/5.0");
  log += hit("/old", 9, 404, "https://blog.org/p", "Mozilla/5.0 (compatible; Googlebot/2.1)");
  // A ninth page: the least counted (e.cn/a, once) gives way, its count
  // going to the newcomer, so that the counts stay bounds from above.
  log += hit("/old", 9, 404, "https://z.org/", "Mozilla/5.0");
  const test::ProgramOutcome tsv =
      RunCli({"scan-log", "--site", "https://e.cn", "--format", "tsv"}, log);
  EXPECT_EQ(tsv.exit_code, 0) << tsv.err;
  // Ties in the order of the kept places.
  EXPECT_EQ(tsv.out,
            "https://e.cn/old\t16\tgoogle:2 baidu:1\t2026-12-03T08:00:00+08:00\t"
            "2026-12-09T08:00:00+08:00\t404 410\t\t"
            "2:https://z.org/ 2:https://blog.org/p 2:https://x.org/0\n"
            "https://e.cn/typo\t1\t\t2026-12-02T08:00:00+08:00\t2026-12-02T08:00:00+08:00\t404"
            "\t\t\n");
  EXPECT_NE(tsv.err.find("lirrevo-cli: 2 dead links, 1 asked for by crawlers; 1 linked from "
                         "other sites: a 301 may serve them better (see --format tsv)\n"),
            std::string::npos)
      << tsv.err;
  const test::ProgramOutcome json = RunCli(
      {"scan-log", "--site", "https://e.cn", "--format", "json"}, hit("/t", 2, 404, "-", "x"));
  EXPECT_EQ(
      json.out,
      "{\"link\":\"https://e.cn/t\",\"hits\":1,\"crawlers\":[],\"first\":"
      "\"2026-12-02T08:00:00+08:00\",\"last\":\"2026-12-02T08:00:00+08:00\",\"statuses\":[404],"
      "\"site_referrers\":[],\"other_referrers\":[]}\n");
  EXPECT_EQ(RunCli({"scan-log", "--site", "https://e.cn", "--format", "tsv", "-o", "x.xml"}, log)
                .exit_code,
            2);
}

TEST(ScanLog, ALogWithNoLineInItsLayoutFails) {
  const test::ProgramOutcome r =
      RunCli({"scan-log", "--site", "https://e.cn"}, "not a log\nat all\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "lirrevo-cli: standard input: 2 lines skipped (not in the log's layout, or not a "
            "request for a page of the site): lines 1, 2\n"
            "lirrevo-cli: 2 lines read, 0 in the layout, 0 answered 404 or 410, 0 distinct links\n"
            "lirrevo-cli: no line of the logs is in the log's layout; --log-format tells it\n");
  const test::ProgramOutcome custom =
      RunCli({"scan-log", "--site", "https://e.cn", "--log-format", "$status $request"},
             "404 GET /a HTTP/1.1\n");
  EXPECT_EQ(custom.out, "https://e.cn/a\n");
}

// A valid absolute URL by RFC 3986: only its bytes, and libcurl parses it unhelped.
bool IsValidUrl(const std::string& link) {
  const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  return link.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
             "-._~:/?#[]@!$&'()*+,;=%") == std::string::npos &&
         curl_url_set(url.get(), CURLUPART_URL, link.c_str(), 0) == CURLUE_OK;
}

struct HostileLog {
  const char* name;
  const char* log;  // the log's file name, or "-" for standard input
  std::string bytes;
  std::string links;  // standard output
  std::string error;  // a line of standard error, LOG standing for the log's name; or ""
  int exit_code;
};

void PrintTo(const HostileLog& c, std::ostream* os) { *os << c.name; }

class ScanLogHostileInput : public ::testing::TestWithParam<HostileLog> {};

TEST_P(ScanLogHostileInput, PrintsValidUrlsOrFailsNamingTheLog) {
  const HostileLog& c = GetParam();
  test::TempFolder dir;
  const std::string log = c.log == std::string("-") ? "-" : dir / c.log;
  if (log != "-") WriteFile(log, c.bytes);
  const test::ProgramOutcome r =
      RunCli({"scan-log", "--site", "https://e.cn/", log}, log == "-" ? c.bytes : "");
  EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
  EXPECT_EQ(r.out, c.links);
  if (std::string error = c.error; !error.empty()) {
    error.replace(error.find("LOG"), 3, log == "-" ? "standard input" : "'" + log + "'");
    EXPECT_NE(r.err.find("lirrevo-cli: " + error + "\n"), std::string::npos) << r.err;
  }
  for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
    EXPECT_TRUE(IsValidUrl(r.out.substr(at, end - at))) << r.out.substr(at, end - at);
  }
}

// Cut halfway: the lines before the cut are read, and must not be printed.
const std::string kCut = [] {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += Line("GET /p" + std::to_string(i) + " HTTP/1.1", 404);
  return Gzip(text).substr(0, Gzip(text).size() / 2);
}();
const std::string kBadCrc = [] {
  std::string gzip = Gzip(Line("GET /a HTTP/1.1", 404));
  gzip[gzip.size() - 8] ^= 1;
  return gzip;
}();

INSTANTIATE_TEST_SUITE_P(
    Table, ScanLogHostileInput,
    ::testing::Values(
        HostileLog{"TruncatedGzipFile", "access.log.gz", kCut, "",
                   "cannot read LOG: the gzip data ends early", 2},
        HostileLog{"TruncatedGzipOnStandardInput", "-", kCut, "",
                   "cannot read LOG: the gzip data ends early", 2},
        HostileLog{"CorruptGzip", "access.log.gz", kBadCrc, "",
                   "cannot read LOG: the gzip data is corrupt (incorrect data check)", 2},
        HostileLog{"TwoGzipMembers", "access.log.gz",
                   Gzip(Line("GET /a HTTP/1.1", 404)) + Gzip(Line("GET /b HTTP/1.1", 404)),
                   "https://e.cn/a\nhttps://e.cn/b\n", "", 0},
        HostileLog{"ServerEscapes", "access.log",
                   Line(R"(GET /a\x20b\x22c\x5C\xE6\x4 HTTP/1.1)", 404) +
                       Line(R"(GET /q\"\t\\ HTTP/1.1)", 404),
                   "https://e.cn/a%20b%22c%5C%E6%5Cx4\nhttps://e.cn/q%22%09%5C\n", "", 0},
        HostileLog{"SpaceInThePathOnePageTwoWays", "access.log",
                   Line("GET /sp ace HTTP/1.1", 404) + Line("GET /sp%20ace HTTP/1.1", 404) +
                       Line("GET /a b", 404),
                   "https://e.cn/sp%20ace\nhttps://e.cn/a%20b\n", "", 0},
        HostileLog{"BytesNoUrlHolds", "access.log",
                   Line("GET /t\tb HTTP/1.1", 404) + Line("GET /c\rr HTTP/1.1", 404) +
                       Line("GET /\xE6\x96?q=\xFF HTTP/1.1", 404) +
                       Line("GET /{x}|^`<>[]#y%zz%4%41%e6 HTTP/1.1", 404),
                   "https://e.cn/t%09b\nhttps://e.cn/c%0Dr\nhttps://e.cn/%E6%96?q=%FF\n"
                   "https://e.cn/%7Bx%7D%7C%5E%60%3C%3E%5B%5D%23y%25zz%254%41%e6\n",
                   "", 0},
        HostileLog{"AbsoluteFormOnTheSite", "access.log",
                   Line("GET HTTPS://E.CN:443/abs?q=1 HTTP/1.1", 404) +
                       Line("GET https://e.cn HTTP/1.1", 410),
                   "https://e.cn/abs?q=1\nhttps://e.cn/\n", "", 0},
        HostileLog{"AbsoluteFormElsewhereAndAsterisk", "access.log",
                   Line("GET http://other.cn/x HTTP/1.1", 404) +
                       Line("GET http://e.cn/x HTTP/1.1", 404) + Line("OPTIONS * HTTP/1.1", 404),
                   "",
                   "LOG: 3 lines skipped (not in the log's layout, or not a request for a page "
                   "of the site): lines 1, 2, 3",
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirrevo
