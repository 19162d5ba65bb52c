#include "core/logs/access_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/logs/crawlers.h"

namespace lirrevo {
namespace {

constexpr const char* kCombined =
    "$remote_addr - $remote_user [$time_local] \"$request\" $status $body_bytes_sent "
    "\"$http_referer\" \"$http_user_agent\"";

struct LineCase {
  const char* name;
  const char* format;  // nullptr: the default layout
  std::string line;
  // The request read, or nothing when the line does not parse.
  std::optional<std::vector<std::string>> method_target_status;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class AccessLogLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(AccessLogLines, ReadsTheRequestAndTheStatus) {
  const LineCase& c = GetParam();
  const std::optional<AccessLogFormat> format =
      AccessLogFormat::Parse(c.format ? c.format : kCombinedLogFormat);
  ASSERT_TRUE(format.has_value());
  const std::optional<LoggedRequest> read = format->Read(c.line);
  ASSERT_EQ(read.has_value(), c.method_target_status.has_value());
  if (read) {
    EXPECT_EQ((std::vector<std::string>{std::string(read->method), std::string(read->target),
                                        std::to_string(read->status)}),
              *c.method_target_status);
  }
}

const std::string kTime = "[01/Dec/2026:00:00:00 +0800]";

INSTANTIATE_TEST_SUITE_P(
    Table, AccessLogLines,
    ::testing::Values(
        LineCase{"Combined",
                 nullptr,
                 "203.0.113.7 - - " + kTime +
                     " \"GET /a/b.html?x=1&y=%E6 HTTP/1.1\" 404 0 \"-\" \"curl/8.4.0\"",
                 {{"GET", "/a/b.html?x=1&y=%E6", "404"}}},
        LineCase{"CommonEndsAtTheSize",
                 nullptr,
                 "::1 - frank " + kTime + " \"HEAD /gone HTTP/1.0\" 410 -",
                 {{"HEAD", "/gone", "410"}}},
        LineCase{"StatusEndsTheLine",
                 nullptr,
                 "h - - " + kTime + " \"GET /x\" 200",
                 {{"GET", "/x", "200"}}},
        LineCase{"EscapedQuoteInTheRequest",
                 nullptr,
                 "h - - " + kTime + " \"GET /odd\\\"q HTTP/1.1\" 404 5 \"-\" \"-\"",
                 {{"GET", "/odd\\\"q", "404"}}},
        LineCase{"SpacesInThePath",
                 nullptr,
                 "h - - " + kTime + " \"GET /a b HTTP/1.1\" 404 0",
                 {{"GET", "/a b", "404"}}},
        LineCase{"SpaceInAPathWithoutProtocol",
                 nullptr,
                 "h - - " + kTime + " \"GET /x yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\" 404 0",
                 {{"GET", "/x yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy", "404"}}},
        LineCase{"RequestDash", nullptr, "h - - " + kTime + " \"-\" 400 0 \"-\" \"-\"",
                 std::nullopt},
        LineCase{"Connect", nullptr,
                 "h - - " + kTime + " \"CONNECT e.cn:443 HTTP/1.1\" 405 0 \"-\" \"-\"",
                 std::nullopt},
        LineCase{"Truncated", nullptr, "h - - " + kTime + " \"GET /a HTT", std::nullopt},
        LineCase{"StatusNotThreeDigits", nullptr, "h - - " + kTime + " \"GET /a HTTP/1.1\" 4040 0",
                 std::nullopt},
        LineCase{"Empty", nullptr, "", std::nullopt},
        LineCase{"CustomFormatWithMethodAndUri",
                 "$time_iso8601 $status \"$request_method $request_uri\" $request_time",
                 "2026-12-01T00:00:00+08:00 404 \"GET /p?q=1\" 0.001",
                 {{"GET", "/p?q=1", "404"}}},
        LineCase{"CustomFormatBraced",
                 "${status}|$request|",
                 "410|HEAD /z HTTP/2.0|",
                 {{"HEAD", "/z", "410"}}},
        LineCase{"CombinedTemplateOnACommonLine",
                 kCombined,
                 "h - - " + kTime + " \"GET /a HTTP/1.1\" 404 0",
                 {{"GET", "/a", "404"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AccessLogFormat, RefusesATemplateThatCannotBeRead) {
  for (const char* format : {"$remote_addr $status", "$request$status", "\"$request\" ${status",
                             "$request_uri $status"}) {
    EXPECT_FALSE(AccessLogFormat::Parse(format).has_value()) << format;
  }
}

TEST(DeadLinkLog, KeepsEachDeadGetOrHeadOnceInTheOrderFirstSeen) {
  const AccessLogFormat format = *AccessLogFormat::Parse(kCombinedLogFormat);
  DeadLinkLog dead("https://e.cn/", {404, 410});
  const auto line = [](const char* request, int status) {
    return "h - - [t] \"" + std::string(request) + "\" " + std::to_string(status) + " 0";
  };
  EXPECT_EQ(dead.Take(format, line("GET /b HTTP/1.1", 404)), DeadLinkLog::Line::kOnSite);
  dead.Take(format, line("GET /a HTTP/1.1", 200));
  dead.Take(format, line("POST /c HTTP/1.1", 404));
  dead.Take(format, line("HEAD /a HTTP/1.1", 410));
  dead.Take(format, line("GET /b HTTP/1.1", 410));
  EXPECT_EQ(dead.Take(format, line("GET http://x/ HTTP/1.1", 404)), DeadLinkLog::Line::kNotOnSite);
  EXPECT_EQ(dead.Take(format, line("-", 404)), DeadLinkLog::Line::kNotInLayout);
  // The check's own requests: its user agent, and the pages it makes up.
  dead.Take(format, line("GET /own HTTP/1.1", 404) + " \"-\" \"Lirrevo/1.0 (dead-link check)\"");
  dead.Take(format, line("GET /d/lirrevo-probe-0123456789abcdef?q HTTP/1.1", 404));
  dead.Take(format, line("GET /seen HTTP/1.1", 404) + " \"-\" \"Mozilla/5.0\"");
  dead.Take(format, line("GET /timed HTTP/1.1", 404) + " 1234");
  EXPECT_EQ(std::vector<std::string>(dead.Links().begin(), dead.Links().end()),
            (std::vector<std::string>{"https://e.cn/b", "https://e.cn/a", "https://e.cn/seen",
                                      "https://e.cn/timed"}));
  EXPECT_EQ(dead.Answered(), 8u);
}

// A user agent of each engine of the table, as its crawler sends it, and
// others that are no crawler.
TEST(CrawlerOf, KnowsEachEnginesCrawlerByItsUserAgent) {
  const struct {
    const char* user_agent;
    const char* crawler;  // its name, or "" for none
  } rows[] = {
      {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "google"},
      {"Mozilla/5.0 (compatible; Google-InspectionTool/1.0)", "google"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
       "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36",
       "bing"},
      {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)",
       "baidu"},
      {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "yandex"},
      {"Sogou web spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)", "sogou"},
      {"Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0); 360Spider", "360"},
      {"Mozilla/5.0 (Linux; Android 5.0) AppleWebKit/537.36 (KHTML, like Gecko) Mobile "
       "Safari/537.36 (compatible; Bytespider; spider-feedback@bytedance.com)",
       "bytedance"},
      {"Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/69.0.3497.81 YisouSpider/5.0 Safari/537.36",
       "shenma"},
      {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)",
       "yahoo"},
      {"DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)", "duckduckgo"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like "
       "Gecko) Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
       "apple"},
      {"Mozilla/5.0 (compatible; Yeti/1.1; +http://naver.me/spd)", "naver"},
      {"Mozilla/5.0 (compatible; SeznamBot/4.0; +https://o-seznam.cz/napoveda/vyhledavani/"
       "en/seznambot-crawler/)",
       "seznam"},
      {"Mozilla/5.0 (compatible;PetalBot;+https://webmaster.petalsearch.com/site/petalbot)",
       "petal"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Chrome/120.0 Safari/537.36",
       ""},
      {"curl/8.4.0", ""},
      // Two crawlers' tokens: the table's order decides, not the place.
      {"Mozilla/5.0 (compatible; PetalBot; Googlebot/2.1)", "google"},
      {"GOOGLEOTHER", "google"},
      {"msnBot-media/1.1", "bing"},
      {"Mozilla/5.0 (compatible; bingbo", ""},
      {"Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    const Crawler* crawler = CrawlerOf(row.user_agent);
    EXPECT_EQ(crawler != nullptr ? crawler->name : "", row.crawler) << row.user_agent;
  }
  EXPECT_GE(Crawlers().size(), 10u);
}

}  // namespace
}  // namespace lirrevo
