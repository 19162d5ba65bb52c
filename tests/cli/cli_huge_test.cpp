// lirrevo-cli on a million links, on a 200 MB list and on one long line: the right number of
// entries, the right first, middle and last entries, a document of exactly
// the expected length, and peak memory within the input's size plus 64 MB.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

// Realistic dead links, 40 to 120 bytes: about one in ten with two query
// parameters, one in ten with Chinese path segments, one in a hundred empty.
class LinkGenerator {
 public:
  std::string Next() {
    const std::uint32_t kind = Draw() % 100;
    if (kind == 0) return "";
    std::string link = "https://www.example" + std::to_string(Draw() % 50) + ".com/";
    if (kind <= 10) link += "\xE6\x96\xB0\xE9\x97\xBB/\xE9\x93\xBE\xE6\x8E\xA5/";  // 新闻/链接/
    const std::size_t length = 40 + Draw() % 60;
    while (link.size() < length) link += static_cast<char>('a' + Draw() % 26);
    link += ".html";
    if (kind > 10 && kind <= 20)
      link += "?id=" + std::to_string(Draw()) + "&page=" + std::to_string(Draw() % 9);
    return link;
  }

 private:
  std::uint32_t Draw() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint64_t state_ = 20151103;
};

std::string Escaped(const std::string& link) {
  std::string out;
  out.reserve(link.size());
  for (const char c : link) {
    if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

void ExpectDocumentFor(const std::vector<std::string>& links, const std::string& document) {
  const std::size_t middle = links.size() / 2;
  std::size_t count = 0;
  std::size_t loc_bytes = 0;
  std::string first, in_the_middle, last, date;
  for (std::size_t at = document.find("<loc>"); at != std::string::npos;
       at = document.find("<loc>", at)) {
    const std::size_t end = document.find("</loc>", at);
    ASSERT_NE(end, std::string::npos);
    const std::string loc = document.substr(at + 5, end - at - 5);
    if (count == 0) first = loc;
    if (count == middle) in_the_middle = loc;
    last = loc;
    loc_bytes += loc.size();
    ++count;
    at = end;
  }
  ASSERT_EQ(count, links.size());
  EXPECT_EQ(first, Escaped(links.front()));
  EXPECT_EQ(in_the_middle, Escaped(links[middle]));
  EXPECT_EQ(last, Escaped(links.back()));
  const std::size_t date_at = document.find("<lastmod>") + 9;
  const std::size_t date_length = document.find("</lastmod>", date_at) - date_at;
  std::size_t expected_loc_bytes = 0;
  for (const std::string& link : links) expected_loc_bytes += Escaped(link).size();
  EXPECT_EQ(loc_bytes, expected_loc_bytes);
  EXPECT_EQ(document.size(), 63 + links.size() * (148 + date_length) + expected_loc_bytes);
  EXPECT_TRUE(document.ends_with("    </url>\r\n  </urlset>"));
}

void RunOnLinks(const std::vector<std::string>& links) {
  test::TempFolder folder;
  std::string input;
  for (const std::string& link : links) input += link + "\n";
  test::WriteFile(folder / "links.txt", input);
  const double input_size = static_cast<double>(input.size());
  std::cout << "input: " << links.size() << " links, " << input.size() << " bytes\n";
  std::string().swap(input);

  // GNU time measures the program alone: a child forked from this process
  // would count the links held here in its own peak.
  const test::ProgramOutcome run =
      test::RunProgram({"/usr/bin/time", "-f", "%M", "-o", folder / "peak_kb", LIRREVO_CLI, "-o",
                        folder / "out.xml", folder / "links.txt"},
                       "");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string document = test::ReadFile(folder / "out.xml").value_or("");
  const double peak_kb = std::stod(test::ReadFile(folder / "peak_kb").value_or("0"));
  const double peak = peak_kb * 1024;
  std::cout << "output: " << document.size() << " bytes; peak memory " << peak_kb
            << " kB = " << peak / static_cast<double>(document.size()) << " x output\n";
  // The document is written in chunks: memory holds the input and little more.
  EXPECT_LE(peak, input_size + 64.0 * 1024 * 1024);
  ExpectDocumentFor(links, document);
}

TEST(HugeInput, MillionLinks) {
  LinkGenerator generator;
  std::vector<std::string> links(1'000'000);
  for (std::string& link : links) link = generator.Next();
  RunOnLinks(links);
}

TEST(HugeInput, TwoHundredMegabytes) {
  LinkGenerator generator;
  std::vector<std::string> links;
  for (std::size_t bytes = 0; bytes < 200'000'000;) {
    links.push_back(generator.Next());
    bytes += links.back().size() + 1;
  }
  RunOnLinks(links);
}

TEST(HugeInput, OneLineOf128Megabytes) {
  std::string link = "https://www.example.com/?q=";
  while (link.size() < 128'000'000) link += "0123456789abcdef\xE9\x93\xBE&";
  RunOnLinks({link});
}

// A list that needs one part more than an index lists is refused once that
// part would begin, with none of the 50,000 staged parts put in place.
TEST(HugeInput, SplitPastWhatAnIndexLists) {
  test::TempFolder folder;
  std::string input;
  for (int i = 0; i <= 50'000; ++i) input += "http://a.cn/" + std::to_string(i) + "\n";
  test::WriteFile(folder / "links.txt", input);
  const test::ProgramOutcome run = test::RunProgram(
      {LIRREVO_CLI, "--split", "--max-urls", "1", "-o", folder / "dead.xml", folder / "links.txt"},
      "");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err,
            "lirrevo-cli: the list needs more than 50,000 parts, the most one index lists; raise "
            "--max-urls or --max-bytes. Nothing was written\n");
  EXPECT_EQ(test::NamesIn(folder), std::vector<std::string>{"links.txt"});
}

}  // namespace
}  // namespace lirrevo
