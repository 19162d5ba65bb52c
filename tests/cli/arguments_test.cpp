#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/help_text.h"
#include "cli/option_table.h"
#include "core/version.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo::cli {
namespace {

struct ArgumentsCase {
  const char* name;
  std::vector<std::string> args;
  int exit_code;        // -1: the run goes on
  const char* message;  // begins the printed text (standard output or error)
  ListEncoding encoding = ListEncoding::kUtf8;
  std::string input = "-";
  std::optional<std::string> output = std::nullopt;
  // check: the command, then --concurrency, --timeout and --cacert as parsed.
  Command command = Command::kGenerate;
  int concurrency = 32;
  double timeout_seconds = 10;
  std::optional<std::string> cacert = std::nullopt;
  LineFormat format = LineFormat::kTsv;
  double rate = 0;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) { *os << c.name; }

class ArgumentsTest : public testing::TestWithParam<ArgumentsCase> {};

TEST_P(ArgumentsTest, ParsesAsTheHelpSays) {
  const ArgumentsCase& c = GetParam();
  const ParsedArguments parsed = ParseArguments(c.args);
  if (c.exit_code >= 0) {
    ASSERT_FALSE(parsed.options.has_value());
    EXPECT_EQ(parsed.exit_code, c.exit_code);
    const std::string& printed = c.exit_code == 0 ? parsed.out : parsed.error;
    EXPECT_TRUE(printed.starts_with(c.message)) << printed;
    if (c.exit_code == 2) {
      EXPECT_NE(printed.find("\nusage: lirrevo-cli"), std::string::npos);
    }
    return;
  }
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->encoding, c.encoding);
  EXPECT_EQ(parsed.options->input, c.input);
  EXPECT_EQ(parsed.options->output, c.output);
  EXPECT_EQ(parsed.options->command, c.command);
  EXPECT_EQ(parsed.options->concurrency, c.concurrency);
  EXPECT_EQ(parsed.options->timeout_seconds, c.timeout_seconds);
  EXPECT_EQ(parsed.options->cacert, c.cacert);
  EXPECT_EQ(parsed.options->format, c.format);
  EXPECT_EQ(parsed.options->rate, c.rate);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArgumentsTest,
    testing::Values(
        ArgumentsCase{"Nothing", {}, -1, ""},
        ArgumentsCase{"InputFile", {"links.txt"}, -1, "", ListEncoding::kUtf8, "links.txt"},
        ArgumentsCase{"DashIsStandardInput", {"-"}, -1, ""},
        ArgumentsCase{"Output",
                      {"-o", "out.xml", "in.txt"},
                      -1,
                      "",
                      ListEncoding::kUtf8,
                      "in.txt",
                      "out.xml"},
        ArgumentsCase{
            "LongOutput", {"--output", "o.xml"}, -1, "", ListEncoding::kUtf8, "-", "o.xml"},
        ArgumentsCase{"DashOutputIsStandardOutput", {"-o", "-"}, -1, ""},
        ArgumentsCase{"GbkSpaced", {"--input-encoding", "GBK"}, -1, "", ListEncoding::kGbk},
        ArgumentsCase{"GbkJoined", {"--input-encoding=gbk"}, -1, "", ListEncoding::kGbk},
        ArgumentsCase{"Utf8Alias", {"--input-encoding=UTF8"}, -1, ""},
        ArgumentsCase{"ShortHelp", {"-h"}, 0, "usage: lirrevo-cli [COMMAND]"},
        ArgumentsCase{"LongHelpWinsOverLaterErrors", {"--help", "--bogus"}, 0, "usage: "},
        ArgumentsCase{"HelpWithoutCommandIsTheMainHelp",
                      {"-o", "d.xml", "--help"},
                      0,
                      "usage: lirrevo-cli [COMMAND]"},
        ArgumentsCase{"Version", {"--version"}, 0, "lirrevo-cli " LIRREVO_VERSION "\n"},
        ArgumentsCase{"UnknownEncoding",
                      {"--input-encoding", "latin1"},
                      2,
                      "lirrevo-cli: unknown input encoding 'latin1'"},
        ArgumentsCase{"EncodingWithoutValue",
                      {"--input-encoding"},
                      2,
                      "lirrevo-cli: --input-encoding needs a value"},
        ArgumentsCase{
            "OutputWithoutName", {"in.txt", "-o"}, 2, "lirrevo-cli: -o needs a file name"},
        ArgumentsCase{"UnknownOption", {"-x"}, 2, "lirrevo-cli: unknown option '-x'"},
        ArgumentsCase{
            "TwoInputs", {"a.txt", "b.txt"}, 2, "lirrevo-cli: more than one input given"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MoreEncodings, ArgumentsTest,
    ::testing::Values(
        ArgumentsCase{"Gb18030", {"--input-encoding", "GB18030"}, -1, "", ListEncoding::kGb18030},
        ArgumentsCase{"Gb2312IsReadAsGbk", {"--input-encoding=gb2312"}, -1, "", ListEncoding::kGbk},
        ArgumentsCase{"Utf16", {"--input-encoding", "utf-16"}, -1, "", ListEncoding::kUtf16Le},
        ArgumentsCase{"Utf16Alias", {"--input-encoding=UTF16"}, -1, "", ListEncoding::kUtf16Le},
        ArgumentsCase{"Utf16LeIsNotAName",
                      {"--input-encoding", "utf-16le"},
                      2,
                      "lirrevo-cli: unknown input encoding 'utf-16le'"}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr ListEncoding kUtf8 = ListEncoding::kUtf8;
constexpr Command kCheck = Command::kCheck;

INSTANTIATE_TEST_SUITE_P(
    Check, ArgumentsTest,
    ::testing::Values(
        ArgumentsCase{"Defaults", {"check"}, -1, "", kUtf8, "-", std::nullopt, kCheck},
        ArgumentsCase{"AllOptions",
                      {"check", "--concurrency", "3", "--timeout=2.5", "--cacert", "ca.pem",
                       "--input-encoding", "gbk", "-o", "dead.xml", "in.txt"},
                      -1,
                      "",
                      ListEncoding::kGbk,
                      "in.txt",
                      "dead.xml",
                      kCheck,
                      3,
                      2.5,
                      "ca.pem"},
        ArgumentsCase{.name = "FormatJson",
                      .args = {"check", "--format=json"},
                      .exit_code = -1,
                      .message = "",
                      .command = kCheck,
                      .format = LineFormat::kJson},
        ArgumentsCase{.name = "RateFraction",
                      .args = {"check", "--rate", "0.5"},
                      .exit_code = -1,
                      .message = "",
                      .command = kCheck,
                      .rate = 0.5},
        ArgumentsCase{"RateZero",
                      {"check", "--rate=0"},
                      2,
                      "lirrevo-cli: --rate takes a number of requests a second above 0, not '0'"},
        ArgumentsCase{"FormatUnknown",
                      {"check", "--format", "csv"},
                      2,
                      "lirrevo-cli: --format takes tsv or json, not 'csv'"},
        ArgumentsCase{"FormatWithoutCheck",
                      {"--format", "json"},
                      2,
                      "lirrevo-cli: --format is an option of 'lirrevo-cli check'"},
        ArgumentsCase{"CheckOnlyFirst", {"in.txt", "check"}, 2, "lirrevo-cli: more than one"},
        ArgumentsCase{"FileNamedCheck", {"./check"}, -1, "", kUtf8, "./check"},
        ArgumentsCase{
            "ConcurrencyWithoutCheck",
            {"--concurrency", "4"},
            2,
            "lirrevo-cli: --concurrency is an option of 'lirrevo-cli check' and 'lirrevo-cli "
            "update'"},
        ArgumentsCase{"ConcurrencyZero",
                      {"check", "--concurrency", "0"},
                      2,
                      "lirrevo-cli: --concurrency takes a whole number from 1 to 1000, not '0'"},
        ArgumentsCase{"ConcurrencyFraction",
                      {"check", "--concurrency=1.5"},
                      2,
                      "lirrevo-cli: --concurrency takes a whole number"},
        ArgumentsCase{"TimeoutNegative",
                      {"check", "--timeout", "-1"},
                      2,
                      "lirrevo-cli: --timeout takes a number of seconds above 0, not '-1'"},
        ArgumentsCase{"TimeoutNotANumber",
                      {"check", "--timeout", "5s"},
                      2,
                      "lirrevo-cli: --timeout takes a number of seconds"},
        ArgumentsCase{
            "CacertWithoutName", {"check", "--cacert"}, 2, "lirrevo-cli: --cacert needs a file"},
        ArgumentsCase{"CheckOutputToStandardOutput",
                      {"check", "-o", "-"},
                      2,
                      "lirrevo-cli: check writes its lines to standard output"},
        ArgumentsCase{"CheckHelp", {"check", "--help"}, 0, "usage: lirrevo-cli check ["},
        ArgumentsCase{"GenerateHelp", {"generate", "--help"}, 0, "usage: lirrevo-cli [generate] ["},
        ArgumentsCase{"GenerateNamed",
                      {"generate", "-o", "d.xml", "in.txt"},
                      -1,
                      "",
                      kUtf8,
                      "in.txt",
                      "d.xml"},
        ArgumentsCase{"FileNamedGenerate", {"./generate"}, -1, "", kUtf8, "./generate"},
        ArgumentsCase{.name = "UpdateFileThenInputs",
                      .args = {"update", "--timeout", "2", "d.xml", "new.txt", "-"},
                      .exit_code = -1,
                      .message = "",
                      .output = "d.xml",
                      .command = Command::kUpdate,
                      .timeout_seconds = 2},
        ArgumentsCase{"UpdateWithoutFile", {"update"}, 2, "lirrevo-cli: update needs FILE"},
        ArgumentsCase{"UpdateOfStandardOutput",
                      {"update", "-"},
                      2,
                      "lirrevo-cli: update's FILE is a file name, not '-'"},
        ArgumentsCase{"UpdateTakesNoOutput",
                      {"update", "-o", "x.xml", "d.xml"},
                      2,
                      "lirrevo-cli: --output is not an option of 'lirrevo-cli update'"},
        ArgumentsCase{"UpdateGzipNamedPlain",
                      {"update", "--gzip", "d.xml"},
                      2,
                      "lirrevo-cli: --gzip: update's FILE is named as written"},
        ArgumentsCase{"UpdateSplitWithoutIndex",
                      {"update", "--split", "d.xml"},
                      2,
                      "lirrevo-cli: update --split needs --index-url"},
        ArgumentsCase{.name = "CrawlWithCheckOptions",
                      .args = {"crawl", "--rate", "5", "--depth", "0", "https://a/", "-o", "d.xml"},
                      .exit_code = -1,
                      .message = "",
                      .output = "d.xml",
                      .command = Command::kCrawl,
                      .rate = 5},
        ArgumentsCase{"CrawlWithoutUrl", {"crawl", "--external"}, 2, "lirrevo-cli: crawl needs"},
        ArgumentsCase{"CrawlGzipNeedsOutput",
                      {"crawl", "--gzip", "https://a/"},
                      2,
                      "lirrevo-cli: --gzip needs -o OUTPUT in 'lirrevo-cli crawl'"},
        ArgumentsCase{"CrawlDepthIsANumber",
                      {"crawl", "--depth", "-1", "https://a/"},
                      2,
                      "lirrevo-cli: --depth needs a number"},
        ArgumentsCase{"CrawlOptionElsewhere",
                      {"check", "--max-pages", "3"},
                      2,
                      "lirrevo-cli: --max-pages is an option of 'lirrevo-cli crawl'"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Parts, ArgumentsTest,
    ::testing::Values(
        ArgumentsCase{"SplitWithoutOutput", {"--split"}, 2, "lirrevo-cli: --split needs -o OUTPUT"},
        ArgumentsCase{"LimitWithoutSplit",
                      {"-o", "d.xml", "--max-urls", "10"},
                      2,
                      "lirrevo-cli: --max-urls and --max-bytes need --split"},
        ArgumentsCase{"IndexWithoutSplit",
                      {"-o", "d.xml", "--index-url", "https://e.cn/"},
                      2,
                      "lirrevo-cli: --index-url needs --split"},
        ArgumentsCase{"ZeroUrls",
                      {"-o", "d.xml", "--split", "--max-urls", "0"},
                      2,
                      "lirrevo-cli: --max-urls needs a positive number"},
        ArgumentsCase{"BytesNotANumber",
                      {"-o", "d.xml", "--split", "--max-bytes", "10MB"},
                      2,
                      "lirrevo-cli: --max-bytes needs a positive number"},
        ArgumentsCase{"EmptyIndexUrl",
                      {"-o", "d.xml", "--split", "--index-url", ""},
                      2,
                      "lirrevo-cli: --index-url '': it is not an absolute URL; give the address"},
        ArgumentsCase{"FtpIndexUrl",
                      {"-o", "d.xml", "--split", "--index-url", "ftp://e.cn/dl"},
                      2,
                      "lirrevo-cli: --index-url 'ftp://e.cn/dl': its scheme is not http or https"},
        ArgumentsCase{"IndexUrlWithSpace",
                      {"-o", "d.xml", "--split", "--index-url", "https://e.cn/a b/"},
                      2,
                      "lirrevo-cli: --index-url 'https://e.cn/a b/': it holds a space"},
        ArgumentsCase{"IndexUrlWithQuery",
                      {"-o", "d.xml", "--split", "--index-url", "https://e.com/d/?k=1#f"},
                      2,
                      "lirrevo-cli: --index-url 'https://e.com/d/?k=1#f': it holds a query"},
        ArgumentsCase{"SiteWithFragment",
                      {"scan-log", "--site", "https://example.com#top"},
                      2,
                      "lirrevo-cli: --site 'https://example.com#top': it holds a fragment"},
        ArgumentsCase{"SiteWithOneSlash",
                      {"scan-log", "--site", "https:/example.com"},
                      2,
                      "lirrevo-cli: --site 'https:/example.com': it needs \"//\" and a host"},
        ArgumentsCase{"SiteWithThreeSlashes",
                      {"scan-log", "--site", "https:///example.com"},
                      2,
                      "lirrevo-cli: --site 'https:///example.com': it needs \"//\" and a host"},
        ArgumentsCase{"SiteWithUser",
                      {"scan-log", "--site", "https://user:pw@example.com"},
                      2,
                      "lirrevo-cli: --site 'https://user:pw@example.com': it holds a user name"},
        ArgumentsCase{"RateInHex",
                      {"check", "--rate", "0x10"},
                      2,
                      "lirrevo-cli: --rate takes a number of requests a second above 0"},
        ArgumentsCase{.name = "RateHuge",
                      .args = {"check", "--rate", "1e308"},
                      .exit_code = -1,
                      .message = "",
                      .command = kCheck,
                      .rate = 1e308},
        ArgumentsCase{"MaxInputInBytes", {"--max-input", "1024"}, -1, ""},
        ArgumentsCase{"MaxInputUnknownUnit",
                      {"--max-input", "12X"},
                      2,
                      "lirrevo-cli: --max-input takes a size such as 500M or 4G, not '12X'"},
        ArgumentsCase{"MaxInputTooLarge",
                      {"--max-input", "99999999999T"},
                      2,
                      "lirrevo-cli: --max-input takes a size"}),
    [](const auto& info) { return std::string(info.param.name); });

// A usage error shows the synopsis of the command it is in, and where its help is.
TEST(Arguments, UsageErrorShowsTheCommandsSynopsis) {
  for (const char* command : {"generate", "check", "scan-log", "update"}) {
    const ParsedArguments parsed = ParseArguments({command, "--bogus"});
    const std::string usage = "lirrevo-cli: unknown option '--bogus'\n" +
                              Synopsis(*FindCommand(command), "usage: ") + "Try 'lirrevo-cli " +
                              command + " --help'.\n";
    EXPECT_EQ(parsed.error, usage);
  }
  EXPECT_TRUE(ParseArguments({"--bogus"}).error.ends_with("Try 'lirrevo-cli generate --help'.\n"));
}

// Links are made from the site's address in the form a URL holds it.
TEST(Arguments, TakesAnInternationalSiteInItsAsciiForm) {
  const ParsedArguments parsed = ParseArguments({"scan-log", "--site", "https://例子.cn/路径"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->site, "https://xn--fsqu00a.cn/%e8%b7%af%e5%be%84");
}

TEST(Arguments, TakesThePartOptions) {
  const ParsedArguments parsed = ParseArguments(
      {"--split", "--max-urls", "7", "--max-bytes", "9000", "--index-url", "https://e.cn/dl/",
       "--gzip", "--standard", "-o", "d.xml", "--max-input", "512MiB"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_TRUE(o.split && o.gzip && o.standard);
  EXPECT_EQ(o.max_urls, 7u);
  EXPECT_EQ(o.max_bytes, 9000u);
  EXPECT_EQ(o.index_url, "https://e.cn/dl/");
  EXPECT_EQ(o.max_input, std::size_t{512} << 20);

  const Options defaults = *ParseArguments({}).options;
  EXPECT_FALSE(defaults.split || defaults.gzip || defaults.standard);
  EXPECT_EQ(defaults.max_urls, 50000u);
  EXPECT_EQ(defaults.max_bytes, 10485760u);
  EXPECT_EQ(defaults.max_input, std::size_t{2} << 30);
}

// The completion script, run by bash in an empty folder, offers what each
// command takes.
TEST(BashCompletion, OffersTheCommandsOptionsAndChoices) {
  const test::TempFolder empty;
  const struct {
    const char* words;
    const char* offered;
  } cases[] = {
      {"lirrevo-cli ch", "check"},
      {"lirrevo-cli scan-log --s", "--split --standard --site --status --strip-query --since"},
      {"lirrevo-cli check --ca", "--cacert"},
      {"lirrevo-cli --s", "--split --standard"},
      {"lirrevo-cli --input-encoding gb", "gbk gb18030"},
      {"lirrevo-cli scan-log --site ", ""},
      {"lirrevo-cli g", "generate"},
      {"lirrevo-cli generate --s", "--split --standard"},
      {"lirrevo-cli update --o", ""},
  };
  for (const auto& c : cases) {
    const std::string run =
        BashCompletion() + "cd '" + empty.path() + "' && COMP_WORDS=(" + c.words +
        ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && "
        "[[ \"" +
        c.words +
        "\" == *' ' ]] && COMP_WORDS+=('') && "
        "COMP_CWORD=$((COMP_CWORD + 1)); _lirrevo_cli; echo \"${COMPREPLY[*]}\"";
    const test::ProgramOutcome r = test::RunProgram({"/bin/bash", "-c", run}, "");
    EXPECT_EQ(r.out, std::string(c.offered) + "\n") << c.words << r.err;
  }
}

}  // namespace
}  // namespace lirrevo::cli
