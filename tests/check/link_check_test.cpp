// Runs `lirrevo-cli check` against web servers of its own on loopback
// addresses (tests/support/link_server.py): never another address.
#include "check/link_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/version.h"
#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/link_server.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::LinkServer;
using test::TempFolder;

class LinkCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    // Loopback traffic goes straight to the servers, never through a proxy.
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      unsetenv(name);
    }
    setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1);
  }

  static test::ProgramOutcome Check(const std::vector<std::string>& args,
                                    const std::string& input) {
    std::vector<std::string> argv = {LIRREVO_CLI, "check"};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProgram(argv, input);
  }

  // A certificate for 127.0.0.1 and its key, made for this test.
  std::vector<std::string> MakeCertificate() {
    const std::string cert = dir_ / "cert.pem";
    const std::string key = dir_ / "key.pem";
    const test::ProgramOutcome made = test::RunProgram(
        {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert, "-days", "1",
         "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
        "");
    if (made.exit_code != 0) throw std::runtime_error("openssl: " + made.err);
    return {cert, key};
  }

  TempFolder dir_;
};

TEST_F(LinkCheck, WritesEveryLinesClassCodeAndDetailInInputOrder) {
  const std::vector<std::string> tls = MakeCertificate();
  LinkServer server(5, tls);
  const std::string a = server.Http(1);
  const std::string kInvalid = "not an http or https URL";
  const std::string lines[][3] = {
      {"dead\t404", a + "/status/404", "404 twice"},
      {"dead\t410", server.Https() + "/status/410", "410 twice"},
      {"alive\t200", a + "/status/200?x=1&y=2", ""},
      {"alive\t204", a + "/status/204", ""},
      {"redirect\t301", a + "/status/301", "/target"},
      {"redirect\t302", server.Http(2) + "/status/302", "/target"},
      {"error\t403", a + "/status/403", ""},
      {"error\t500", a + "/status/500", ""},
      {"alive\t200", a + "/once/503/0", ""},
      {"alive\t200", a + "/once/429/1", ""},
      {"error\t503", a + "/once/503/30", ""},        // asks for a longer wait than --timeout
      {"alive\t200", server.Http(3) + "/drop", ""},  // a host of its own: a fresh connection
      {"error\t0", a + "/slow/3000/404", "timeout"},
      {"error\t0", "http://127.0.0.1:1/", "connection refused"},
      {"invalid\t0", "", kInvalid},
      {"invalid\t0", "ftp://127.0.0.1/x", kInvalid},
      {"invalid\t0", "127.0.0.1/status/404", kInvalid},
      {"invalid\t0", "http://", kInvalid},
      {"invalid\t0", a + "/a b", kInvalid},
      {"invalid\t0", " " + a + "/status/404", kInvalid},
      {"dead\t404", a + "/status/404#part", "404 twice"},
      // A host whose missing pages answer 200 with a page that repeats the path.
      {"soft404\t200", server.Http(4) + "/soft/old",
       "same text as a missing page in /soft/ (1.00 alike)"},
      {"alive\t200", server.Http(4) + "/soft/real?q=1", ""},
  };
  std::string input;
  std::string expected;
  for (const auto& [verdict, link, detail] : lines) {
    input += link + "\r\n";
    expected += verdict + "\t" + link + "\t" + detail + "\n";
  }
  const auto start = std::chrono::steady_clock::now();
  const test::ProgramOutcome r = Check({"--timeout", "1", "--cacert", tls[0]}, input);
  const auto took = std::chrono::steady_clock::now() - start;
  std::map<std::string, std::string> seen = server.Stop();

  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(r.err.starts_with("23 links checked in ")) << r.err;
  EXPECT_NE(r.err.find(": 3 dead, 6 alive, 1 soft404, 2 redirect, 5 error, 6 invalid\n"
                       "1 link answers 200 with a not-found page (soft 404): make the server "
                       "answer 404 or 410 for them\n"),
            std::string::npos)
      << r.err;
  // The retries waited their pause (1 s, or Retry-After) but not the 30 s asked for.
  EXPECT_GT(took, std::chrono::seconds(1));
  EXPECT_LT(took, std::chrono::seconds(20));

  // Every request is a GET; a 404 is asked twice, a retry once more.
  const std::map<std::string, std::string> requests = {
      {"count GET /status/404", "4"}, {"count GET /status/301", "1"},
      {"count GET /status/500", "2"}, {"count GET /once/503/0", "2"},
      {"count GET /once/429/1", "2"}, {"count GET /once/503/30", "1"},
      {"count GET /drop", "2"},       {"count GET /status/403", "1"},
  };
  for (const auto& [what, count] : requests) EXPECT_EQ(seen[what], count) << what;
  EXPECT_EQ(seen.count("count GET /target"), 0u);
  // One probe per folder with a link that answered 200 or redirected, with
  // the mark that keeps it out of the site's dead links; the pages are
  // fetched only where the probe answered 200 as well.
  std::multiset<std::string> probes;
  for (const auto& [what, count] : seen) {
    EXPECT_FALSE(what.starts_with("count HEAD")) << what;
    constexpr std::string_view kGet = "count GET ";
    const std::size_t name = what.rfind('/') + 1;
    if (what.starts_with(kGet) && what.compare(name, 14, "lirrevo-probe-") == 0 && count == "1") {
      probes.insert(what.substr(kGet.size(), name - kGet.size()));
    }
  }
  EXPECT_EQ(probes, (std::multiset<std::string>{"/", "/once/429/", "/once/503/", "/soft/",
                                                "/status/", "/status/"}));
  EXPECT_EQ(seen["count GET /soft/old"], "2");
  EXPECT_EQ(seen["count GET /status/200"], "1");
  EXPECT_EQ(seen["agent"], "Lirrevo/" LIRREVO_VERSION " (dead-link check)");
}

// Pages that behave as real sites do (tests/data/verdict_zoo.tsv): HEAD and
// GET that disagree, a 404 during a deploy, an answer left on a connection,
// soft-404 areas beside real folders, a shop whose every page has one title,
// and redirects of missing pages. Every link gets its true verdict, and the
// document holds exactly the dead ones.
TEST_F(LinkCheck, EveryLinkOfTheZooGetsItsTrueVerdict) {
  LinkServer server(2);
  std::ifstream table(LIRREVO_TEST_DATA "/verdict_zoo.tsv");
  std::vector<std::string> links, dead;
  std::vector<std::string> expected;
  std::string input;
  for (std::string row; std::getline(table, row);) {
    if (row.starts_with("#")) continue;
    std::istringstream fields(row);
    std::string host, path, link_class, code, detail;
    std::getline(fields, host, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, link_class, '\t');
    std::getline(fields, code, '\t');
    std::getline(fields, detail);
    links.push_back(server.Http(std::stoi(host)) + path);
    if (link_class == "dead") dead.push_back(links.back());
    expected.push_back(link_class + "\t" + code + "\t" + links.back() + "\t" + detail);
    input += links.back() + "\n";
  }
  ASSERT_EQ(links.size(), 24u);
  test::WriteFile(dir_ / "links.txt", input);
  const test::ProgramOutcome r = Check(
      {"-o", dir_ / "dead.xml", "--timeout", "5", "--concurrency", "1", dir_ / "links.txt"}, "");
  std::map<std::string, std::string> seen = server.Stop();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  std::istringstream lines(r.out);
  for (const std::string& truth : expected) {
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, truth);
  }
  EXPECT_EQ(test::ReadFile(dir_ / "dead.xml"), test::ExpectedDocument(dead, test::kFixedLastmod));
  for (const auto& [what, count] : seen) EXPECT_FALSE(what.starts_with("count HEAD")) << what;
  EXPECT_EQ(seen["poisoned"], "0");  // no request read the answer a faulty one left behind
  EXPECT_EQ(seen["count GET /zoo/deploy/page"], "2");
  EXPECT_EQ(seen["count GET /zoo/page/removed"], "2");
}

// Both formats carry one line's fields; a server's text is escaped in JSON,
// its bytes that are no UTF-8 replaced, and a tab kept out of the columns:
// a space in DETAIL, %09 in the link.
TEST_F(LinkCheck, JsonLinesHoldTheFieldsOfTheTabSeparatedLines) {
  LinkServer server(1);
  const std::string redirect = server.Http(1) + "/redirect/308/%2Fnew%09%22q%22%5C%E9";
  const std::string input = redirect + "\nx\"y\n\ta\tb\t\n";
  const test::ProgramOutcome json = Check({"--format", "json"}, input);
  const test::ProgramOutcome tsv = Check({"--format=tsv"}, input);
  server.Stop();
  EXPECT_EQ(json.out, "{\"class\":\"redirect\",\"code\":308,\"link\":\"" + redirect +
                          "\",\"detail\":\"/new\\u0009\\\"q\\\"\\\\\\ufffd\"}\n"
                          "{\"class\":\"invalid\",\"code\":0,\"link\":\"x\\\"y\",\"detail\":"
                          "\"not an http or https URL\"}\n"
                          "{\"class\":\"invalid\",\"code\":0,\"link\":\"\\u0009a\\u0009b\\u0009\","
                          "\"detail\":\"not an http or https URL\"}\n");
  EXPECT_EQ(tsv.out, "redirect\t308\t" + redirect +
                         "\t/new \"q\"\\\xE9\ninvalid\t0\tx\"y\tnot an http or https URL\n"
                         "invalid\t0\t%09a%09b%09\tnot an http or https URL\n");
}

// Answers no well-behaved server gives. None may hang the run (the child's
// `timeout` is only a guard: every row ends within the 2 s timeout plus one
// retry), pass a status from an incomplete answer, or download a body.
TEST_F(LinkCheck, HostileAnswersGetNoWrongVerdict) {
  struct Hostile {
    std::string path;
    std::string line;         // class and code
    std::string_view reason;  // the DETAIL
  };
  const std::vector<Hostile> rows = {
      // Retry-After past the timeout: no retry, however large the number.
      {"/once/503/590295796911961578", "error\t503", ""},
      {"/once/503/99999999999999999999999999", "error\t503", ""},
      {"/once/503/Fri,%2031%20Dec%209999%2023:59:59%20GMT", "error\t503", ""},
      {"/once/429/Wed,%2021%20Oct%202015%2007:28:00%20GMT", "alive\t200", ""},  // retried at once
      {"/once/503/soon", "alive\t200", ""},  // no value: the usual pause
      {"/cut/404", "error\t0", "answer cut off within its headers"},
      {"/endless/0", "error\t0", "headers too large"},
      {"/endless/300", "error\t0", "headers did not end in time"},
      {"/bigheader/200000/404", "error\t0", "headers too large"},
      {"/nocolon/404", "error\t0", "malformed headers: Header without colon"},
      // It and its probe have the same 5 GB page, read in part.
      {"/bigpage/a", "soft404\t200", "same text as a missing page in /bigpage/ (1.00 alike)"},
      {"/huge/404", "dead\t404", "404 twice"},  // a 5 GB body is not read
  };
  // Each run has a server of its own: /once answers differently the second time.
  const auto links_of = [&](const LinkServer& server) {
    std::vector<std::string> links;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      links.push_back(server.Http(1 + i % 4) + rows[i].path);
    }
    return links;
  };

  LinkServer server(4);
  const std::vector<std::string> links = links_of(server);
  std::string input, expected;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    input += links[i] + "\n";
    expected += rows[i].line + "\t" + links[i] + "\t" + std::string(rows[i].reason) + "\n";
  }
  test::WriteFile(dir_ / "links.txt", input);
  const test::ProgramOutcome r =
      test::RunProgram({"/usr/bin/timeout", "60", LIRREVO_CLI, "check", "--timeout", "2", "-o",
                        dir_ / "dead.xml", dir_ / "links.txt"},
                       "");
  std::map<std::string, std::string> seen = server.Stop();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(test::ReadFile(dir_ / "dead.xml"),
            test::ExpectedDocument({links.back()}, test::kFixedLastmod));
  EXPECT_EQ(seen["count GET /once/503/590295796911961578"], "1");
  EXPECT_EQ(seen["count GET /once/429/Wed,%2021%20Oct%202015%2007:28:00%20GMT"], "2");
  EXPECT_EQ(seen["count GET /huge/404"], "2");
  // What the socket buffers took before the client closed, not gigabytes.
  EXPECT_LT(std::stoll(seen["sent /huge/404"]), std::int64_t{64} << 20);
  EXPECT_LT(std::stoll(seen["sent /bigpage/a"]), std::int64_t{64} << 20);

  LinkServer own(4);
  const std::vector<std::string> own_links = links_of(own);
  const std::vector<std::string_view> views(own_links.begin(), own_links.end());
  check::CheckSettings settings;
  settings.timeout_ms = 2000;
  std::vector<std::string> reasons(rows.size(), "none given");
  alarm(60);  // the same guard as above
  EXPECT_EQ(check::CheckLinks(views, settings,
                              [&](std::size_t i, check::LinkVerdict v) { reasons[i] = v.detail; }),
            std::nullopt);
  alarm(0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(reasons[i], rows[i].reason) << rows[i].path;
  }
}

// The server stands in as the proxy every request goes through: it sees the
// name asked for, without a name server.
TEST_F(LinkCheck, AsksForAnInternationalHostByItsAsciiName) {
  LinkServer server(1);
  setenv("http_proxy", server.Http(1).c_str(), 1);
  const test::ProgramOutcome r = Check({}, "http://例子.测试/status/410\n");
  std::map<std::string, std::string> seen = server.Stop();
  EXPECT_EQ(r.out, "dead\t410\thttp://例子.测试/status/410\t410 twice\n") << r.err;
  EXPECT_EQ(seen["host"], "xn--fsqu00a.xn--0zwm56d");
}

// Each of these is found before the first request, which the server never sees.
TEST_F(LinkCheck, RefusesToStartWithoutWhatItNeeds) {
  LinkServer server(1);
  test::WriteFile(dir_ / "links.txt", server.Http(1) + "/status/404\n");
  test::WriteFile(dir_ / "notes.txt", "no certificate here\n");
  struct Case {
    std::string shell;  // run before the program
    std::vector<std::string> args;
    int exit_code;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"",
       {"--cacert", dir_ / "none.pem"},
       2,
       "--cacert '" + (dir_ / "none.pem") + "': No such file or directory"},
      {"", {"--cacert", dir_.path()}, 2, "--cacert '" + dir_.path() + "': not a file"},
      {"",
       {"--cacert", dir_ / "notes.txt"},
       2,
       "--cacert '" + (dir_ / "notes.txt") + "': holds no PEM certificate"},
      {"",
       {"-o", dir_ / "none/dead.xml"},
       2,
       "cannot write '" + (dir_ / "none/dead.xml") + "': No such file or directory"},
      {"",
       {"-o", dir_ / "notes.txt/dead.xml"},
       2,
       "cannot write '" + (dir_ / "notes.txt/dead.xml") + "': Not a directory"},
      {"exec >&-;", {}, 2, "standard output is closed"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {"/bin/sh", "-c", c.shell + " exec \"$0\" check \"$@\"",
                                     LIRREVO_CLI};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(dir_ / "links.txt");
    const test::ProgramOutcome r = test::RunProgram(argv, "");
    EXPECT_EQ(r.exit_code, c.exit_code) << c.err;
    EXPECT_EQ(r.err, "lirrevo-cli: " + c.err + "\n");
  }
  for (const auto& [what, value] : server.Stop()) EXPECT_FALSE(what.starts_with("count")) << what;

  // Too few descriptors: fewer requests at once, with a warning.
  const std::string kLinks = "http://127.0.0.1:1/a\nhttp://127.0.0.1:1/b\n";
  const test::ProgramOutcome fewer =
      test::RunProgram({"/bin/sh", "-c", "ulimit -n 40; exec \"$0\" check", LIRREVO_CLI}, kLinks);
  EXPECT_EQ(fewer.exit_code, 1);
  EXPECT_TRUE(
      fewer.err.starts_with("lirrevo-cli: warning: 40 open files allowed (ulimit -n): 8 "
                            "requests at once, not 32\n2 links checked"))
      << fewer.err;
}

TEST_F(LinkCheck, AnUntrustedCertificateIsAnError) {
  LinkServer server(1, MakeCertificate());
  const test::ProgramOutcome r = Check({}, server.Https() + "/status/404\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(r.out.starts_with("error\t0\t" + server.Https() +
                                "/status/404\tTLS: SSL certificate problem: "))
      << r.out;
}

TEST_F(LinkCheck, KeepsToTheBoundsPerHostAndInTotal) {
  LinkServer server(7);
  // Host 1's links come first: only its bound keeps them from taking every slot.
  std::string input;
  std::string expected;
  for (int i = 0; i < 24; ++i) {
    const std::string link = i < 12 ? server.Http(1) + "/slow/400/410?" + std::to_string(i)
                                    : server.Http(2 + i % 6) + "/slow/400/404?" + std::to_string(i);
    input += link + "\n";
    expected +=
        (i < 12 ? "dead\t410\t" : "dead\t404\t") + link + (i < 12 ? "\t410" : "\t404") + " twice\n";
  }
  const test::ProgramOutcome r = Check({"--concurrency", "6"}, input);
  std::map<std::string, std::string> seen = server.Stop();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  const int most_on_one_host = std::atoi(seen["max_host 127.0.0.1"].c_str());
  const int most_in_all = std::atoi(seen["max_total"].c_str());
  EXPECT_LE(most_on_one_host, 4);
  EXPECT_GE(most_on_one_host, 3);  // the bound is used, not one request at a time
  EXPECT_LE(most_in_all, 6);
  EXPECT_GE(most_in_all, 5);
}

// Each host's requests, the probe and the page of a soft 404 among them,
// reach the server at least 1/N s apart; hosts do not wait for each other.
TEST_F(LinkCheck, RateSpacesTheRequestsToEachHost) {
  LinkServer server(2);
  std::string input;
  for (int i = 0; i < 4; ++i) {
    input += server.Http(1) + "/status/404?" + std::to_string(i) + "\n" + server.Http(2) +
             "/status/410?" + std::to_string(i) + "\n";
  }
  input += server.Http(1) + "/soft/gone\n";
  const test::ProgramOutcome r = Check({"--rate", "5"}, input);
  std::map<std::string, std::string> seen = server.Stop();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  // Two requests a dead link; the soft 404's own, its folder's probe and its page.
  for (const auto& [host, requests] : {std::pair{"127.0.0.1", 11}, {"127.0.0.2", 8}}) {
    std::vector<double> starts;
    std::istringstream times(seen[std::string("starts ") + host]);
    for (std::string time; std::getline(times, time, ',');) starts.push_back(std::stod(time));
    ASSERT_EQ(starts.size(), static_cast<std::size_t>(requests)) << host;
    // 0.2 s apart, less what a busy server's threads may lag; without the
    // rate, requests come together or a few milliseconds apart.
    for (std::size_t i = 1; i < starts.size(); ++i) {
      EXPECT_GE(starts[i] - starts[i - 1], 0.15) << host << " request " << i;
    }
  }
}

TEST_F(LinkCheck, OutputHoldsTheDocumentOfTheDeadLinksOnly) {
  LinkServer server(1);
  const std::string a = server.Http(1);
  // Each link is asked once, at its first place.
  test::WriteFile(dir_ / "links.txt", a + "/status/410?a=1&b=2\n" + a + "/status/200\n\n" + a +
                                          "/status/404\n" + a + "/status/200\n" + a +
                                          "/status/404\n");
  const test::ProgramOutcome r = Check({"-o", dir_ / "dead.xml", dir_ / "links.txt"}, "");
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
  EXPECT_TRUE(r.err.starts_with("lirrevo-cli: 2 duplicate links skipped")) << r.err;
  const std::optional<std::string> document = test::ReadFile(dir_ / "dead.xml");
  EXPECT_EQ(document, test::ExpectedDocument({a + "/status/410?a=1&amp;b=2", a + "/status/404"},
                                             test::kFixedLastmod));

  // Nothing replaces the document where nothing was learnt: bad input
  // (refused as by the generating command, and nothing asked), no link, or
  // no link that got an answer.
  const struct {
    std::string input;
    std::string err;
  } kept[] = {
      {a + "/status/404\n\x0C\n", "standard input, line 2: control character U+000C"},
      {"", "no link to check; '" + (dir_ / "dead.xml") + "' was not written"},
      {"http://127.0.0.1:1/gone\nnot a link\n",
       "no link got an answer from its server; '" + (dir_ / "dead.xml") + "' was not written"},
  };
  for (const auto& c : kept) {
    const test::ProgramOutcome run = Check({"-o", dir_ / "dead.xml"}, c.input);
    EXPECT_EQ(run.exit_code, 2) << c.err;
    EXPECT_TRUE(run.err.ends_with("lirrevo-cli: " + c.err + "\n")) << run.err;
    EXPECT_EQ(test::ReadFile(dir_ / "dead.xml"), document);
  }
  EXPECT_EQ(server.Stop()["count GET /status/404"], "2");
}

// A sitemap's locs are the links: a urlset from a file, a gzip urlset and a
// plain one through an index on the server; a file that is no sitemap fails.
TEST_F(LinkCheck, ChecksTheLocsOfASitemapOrOfTheSitemapsOfAnIndex) {
  LinkServer server(1, {}, dir_.path());
  const std::string a = server.Http(1);
  const auto urlset = [](const std::vector<std::string>& locs) {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<urlset xmlns=\"http://www.sitemaps.org/schemas/"
        "sitemap/0.9\">";
    for (const std::string& loc : locs) xml += "<url><loc>\n  " + loc + " </loc></url>";
    return xml + "</urlset>";
  };
  test::WriteFile(dir_ / "urlset.xml", urlset({a + "/status/404?a=1&amp;b=2", a + "/status/200"}));
  test::WriteFile(dir_ / "plain.xml", urlset({a + "/status/410"}));
  const std::string gz_source = urlset({a + "/status/301", a + "/status/404"});
  ASSERT_EQ(test::RunProgram({"/bin/sh", "-c", "gzip -c > \"$0\"", dir_ / "part.xml.gz"}, gz_source)
                .exit_code,
            0);
  test::WriteFile(dir_ / "index.xml", "<sitemapindex><sitemap><loc>" + a +
                                          "/files/part.xml.gz</loc></sitemap>"
                                          "<sitemap><loc>" +
                                          a + "/files/plain.xml</loc></sitemap></sitemapindex>");
  test::WriteFile(dir_ / "links.txt", a + "/status/404\n");
  const struct {
    std::string source;
    int exit_code;
    std::string out;
    std::string err_start;
  } cases[] = {
      {dir_ / "urlset.xml", 1,
       "dead\t404\t" + a + "/status/404?a=1&b=2\t404 twice\nalive\t200\t" + a + "/status/200\t\n",
       "2 links"},
      {a + "/files/index.xml", 1,
       "redirect\t301\t" + a + "/status/301\t/target\ndead\t404\t" + a +
           "/status/404\t404 twice\ndead\t410\t" + a + "/status/410\t410 twice\n",
       "3 links"},
      {dir_ / "links.txt", 2, "",
       "lirrevo-cli: cannot read '" + (dir_ / "links.txt") + "': not a sitemap: line 1: "},
      {a + "/files/absent.xml", 2, "",
       "lirrevo-cli: cannot fetch '" + a + "/files/absent.xml': the server answered 404\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const test::ProgramOutcome r = Check({"--sitemap", c.source}, "");
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.out, c.out);
    EXPECT_TRUE(r.err.starts_with(c.err_start)) << r.err;
  }
}

// The document options shape check's document exactly as they shape the
// generating command's for the list of the dead links.
TEST_F(LinkCheck, OutputOptionsMeanWhatTheyMeanWithoutCheck) {
  LinkServer server(1);
  const std::string a = server.Http(1);
  const std::string dead = a + "/status/404?x=1&y=2\n" + a + "/status/410\n" + a + "/status/404\n";
  test::WriteFile(dir_ / "links.txt", a + "/status/200\n" + dead);
  test::MakeFolder(dir_ / "check");
  test::MakeFolder(dir_ / "generate");
  const std::vector<std::string> options = {
      "--split", "--max-urls", "2", "--gzip", "--standard", "--index-url", "https://e.cn/"};
  std::vector<std::string> args = {"-o", dir_ / "check/dead.xml"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(dir_ / "links.txt");
  EXPECT_EQ(Check(args, "").exit_code, 1);
  std::vector<std::string> generate = {LIRREVO_CLI, "-o", dir_ / "generate/dead.xml"};
  generate.insert(generate.end(), options.begin(), options.end());
  ASSERT_EQ(test::RunProgram(generate, dead).exit_code, 0);
  const std::vector<std::string> names = {"dead-1.xml.gz", "dead-2.xml.gz", "dead.xml.gz"};
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "check"), {}), 3);
  for (const std::string& name : names) {
    const std::optional<std::string> bytes = test::ReadFile(dir_ / "check/" + name);
    ASSERT_TRUE(bytes) << name;
    EXPECT_EQ(bytes, test::ReadFile(dir_ / "generate/" + name)) << name;
  }
  // An option that shapes only a document needs the document.
  const test::ProgramOutcome refused = Check({"--gzip", dir_ / "links.txt"}, "");
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_TRUE(
      refused.err.starts_with("lirrevo-cli: --gzip needs -o OUTPUT in 'lirrevo-cli check'\n"))
      << refused.err;
  server.Stop();
}

}  // namespace
}  // namespace lirrevo
