// lirrevo-cli on big lists: parts, their index, gzip, the standard form and
// the warnings at the search engines' limits.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/expected_document.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ExpectedDocument;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The bytes of a gzip file, decompressed; "not gzip" when they are none.
std::string Gunzip(const std::string& compressed) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return "not gzip";
  std::string out;
  char buffer[4096];
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  inflateEnd(&z);
  return result == Z_STREAM_END && z.avail_in == 0 ? out : "not gzip";
}

class CliParts : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SOURCE_DATE_EPOCH", test::kFixedEpoch, 1); }

  static test::ProgramOutcome Run(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv = {LIRREVO_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProgram(argv, input);
  }

  std::string Gunzipped(const std::string& name) const {
    return Gunzip(ReadFile(dir_ / name).value_or(""));
  }

  TempFolder dir_;
};

TEST_F(CliParts, SplitsCompressesAndIndexesTheParts) {
  // Left from an earlier run of five parts, and of one without --gzip.
  WriteFile(dir_ / "dead-4.xml.gz", "old 4");
  WriteFile(dir_ / "dead-5.xml.gz", "old 5");
  WriteFile(dir_ / "dead-4.xml", "old plain 4");
  const test::ProgramOutcome r = Run({"-o", dir_ / "dead.xml", "--split", "--max-urls", "2",
                                      "--gzip", "--index-url", "https://e.cn/dl"},
                                     "a\nb&\nc\nd\ne");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "lirrevo-cli: wrote 3 parts, '" + (dir_ / "dead-1.xml.gz") + "' to '" +
                       (dir_ / "dead-3.xml.gz") + "', and the index '" + (dir_ / "dead.xml.gz") +
                       "'\nlirrevo-cli: removed 2 parts of an earlier run: '" +
                       (dir_ / "dead-4.xml.gz") + "' to '" + (dir_ / "dead-5.xml.gz") + "'\n");
  EXPECT_EQ(test::NamesIn(dir_),
            (std::vector<std::string>{"dead-1.xml.gz", "dead-2.xml.gz", "dead-3.xml.gz",
                                      "dead-4.xml", "dead.xml.gz"}));
  EXPECT_EQ(Gunzipped("dead-1.xml.gz"), ExpectedDocument({"a", "b&amp;"}, "2015-2-12"));
  EXPECT_EQ(Gunzipped("dead-2.xml.gz"), ExpectedDocument({"c", "d"}, "2015-2-12"));
  EXPECT_EQ(Gunzipped("dead-3.xml.gz"), ExpectedDocument({"e"}, "2015-2-12"));
  std::string index = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <sitemapindex>\r\n";
  for (const char* part : {"dead-1", "dead-2", "dead-3"}) {
    index += std::string("    <sitemap>\r\n        <loc>https://e.cn/dl/") + part +
             ".xml.gz</loc>\r\n        <lastmod>2015-2-12</lastmod>\r\n    </sitemap>\r\n";
  }
  EXPECT_EQ(Gunzipped("dead.xml.gz"), index + "  </sitemapindex>");

  const test::ProgramOutcome piped = Run({"--gzip"}, "x");
  EXPECT_EQ(Gunzip(piped.out), ExpectedDocument({"x"}, "2015-2-12"));
  // A device or one of our own descriptors is written as named, compressed.
  const test::ProgramOutcome named = Run({"--gzip", "-o", "/dev/stdout"}, "x");
  EXPECT_EQ(Gunzip(named.out), ExpectedDocument({"x"}, "2015-2-12")) << named.err;
  EXPECT_EQ(Run({"--gzip", "-o", "/dev/null"}, "x").exit_code, 0);
}

// A '#', '?', space or non-ASCII character in a part's name means itself in the index.
TEST_F(CliParts, IndexLocsArePercentEncoded) {
  const std::string output = dir_ / "\xE6\xAD\xBB\xE9\x93\xBE #?.xml";  // 死链 #?.xml
  const test::ProgramOutcome r =
      Run({"-o", output, "--split", "--max-urls", "1", "--index-url", "https://e.cn/dl/"}, "a\nb");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string index = ReadFile(output).value_or("");
  for (const char* n : {"1", "2"}) {
    const std::string loc =
        "<loc>https://e.cn/dl/%E6%AD%BB%E9%93%BE%20%23%3F-" + std::string(n) + ".xml</loc>";
    EXPECT_NE(index.find(loc), std::string::npos) << index;
  }
}

// A part that cannot be written replaces nothing: not the parts before it,
// not the index.
TEST_F(CliParts, PartsAreAllOrNothing) {
  WriteFile(dir_ / "dead.xml", "old index");
  WriteFile(dir_ / "dead-1.xml", "old 1");
  test::MakeFolder(dir_ / "dead-2.xml");
  const test::Snapshot before = test::TakeSnapshot(dir_.path());

  const test::ProgramOutcome r =
      Run({"-o", dir_ / "dead.xml", "--split", "--max-urls", "1", "--index-url", "https://e.cn/"},
          "a\nb\nc\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot write '" + (dir_ / "dead-2.xml") + "': Is a directory\n");
  EXPECT_EQ(test::TakeSnapshot(dir_.path()), before);

  const test::ProgramOutcome bad = Run({"-o", dir_ / "dead.xml", "--split"}, "a\n\xFF\n");
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(bad.err, "lirrevo-cli: standard input, line 2: invalid UTF-8\n");
  EXPECT_EQ(test::TakeSnapshot(dir_.path()), before);
}

// An earlier run's part past the new ones is never removed when it is the
// input, and none is when one cannot go.
TEST_F(CliParts, ShorterRunRemovesNoPartItMustKeep) {
  const std::vector<std::string> args = {"-o", dir_ / "dead.xml", "--split", "--max-urls", "1"};
  // The list as part 3, found past a missing part 1 (which the check before
  // reading does not reach).
  WriteFile(dir_ / "dead-2.xml", "old 2");
  WriteFile(dir_ / "dead-3.xml", "z\n");
  const test::Snapshot before = test::TakeSnapshot(dir_.path());
  const test::ProgramOutcome input =
      Run({"-o", dir_ / "dead.xml", "--split", dir_ / "dead-3.xml"}, "");
  EXPECT_EQ(input.exit_code, 2);
  EXPECT_EQ(input.err, "lirrevo-cli: '" + (dir_ / "dead-3.xml") +
                           "' is the same file as the input '" + (dir_ / "dead-3.xml") +
                           "'; nothing was written\n");
  EXPECT_EQ(test::TakeSnapshot(dir_.path()), before);

  std::filesystem::remove(dir_ / "dead-3.xml");
  test::MakeFolder(dir_ / "dead-3.xml");
  const test::Snapshot with_folder = test::TakeSnapshot(dir_.path());
  const test::ProgramOutcome folder = Run(args, "x\n");
  EXPECT_EQ(folder.exit_code, 1);
  EXPECT_EQ(folder.err,
            "lirrevo-cli: cannot remove '" + (dir_ / "dead-3.xml") + "': Is a directory\n");
  EXPECT_EQ(test::TakeSnapshot(dir_.path()), with_folder);
}

// Part 2 has a second name, so it is written in place, and the disk holds
// every staged part but not part 2's growth: the reservation fails before
// part 1 or the index is renamed, and everything, an earlier run's part 3
// too, stays as it was.
TEST_F(CliParts, FullDiskAtAnInPlacePartChangesNoPart) {
  try {
    test::MountSmallFilesystem(dir_ / "small", 56);
  } catch (const test::SetupRefused& refused) {
    GTEST_SKIP() << refused.what();
  }
  for (const char* name : {"dead.xml", "dead-1.xml", "dead-2.xml", "dead-3.xml"}) {
    WriteFile(dir_ / "small/" + name, std::string("old ") + name);
  }
  ASSERT_EQ(link((dir_ / "small/dead-2.xml").c_str(), (dir_ / "small/keep.xml").c_str()), 0);
  const test::Snapshot before = test::TakeSnapshot(dir_.path());
  std::string links;
  for (int i = 0; i < 160; ++i)
    links += "http://www.example.com/page?id=" + std::to_string(i) + "\n";

  const test::ProgramOutcome r = Run({"-o", dir_ / "small/dead.xml", "--split", "--max-urls", "80",
                                      "--index-url", "https://e.cn/"},
                                     links);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "lirrevo-cli: cannot write '" + (dir_ / "small/dead-2.xml") +
                       "': No space left on device\n");
  EXPECT_EQ(test::TakeSnapshot(dir_.path()), before);
}

TEST_F(CliParts, StandardFormSkipsEmptyLinesAndSaysSo) {
  const test::ProgramOutcome r = Run({"--standard"}, "a\n\nb\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "  <urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\r\n" +
                test::ExpectedEntry("a", "2015-02-12") + test::ExpectedEntry("b", "2015-02-12") +
                "  </urlset>");
  EXPECT_EQ(r.err, "lirrevo-cli: 1 empty line skipped: an empty loc is not a URL\n");
}

// 70,000 entries for "a" take 11,060,063 bytes: past both limits.
TEST_F(CliParts, OneDocumentPastTheLimitsIsWrittenWithAWarning) {
  std::string list;
  for (int i = 0; i < 70000; ++i) list += "a\n";
  const test::ProgramOutcome r = Run({"-o", dir_ / "all.xml"}, list);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err,
            "lirrevo-cli: warning: the document holds 70,000 links, more than the 50,000 URLs "
            "search engines take in one file; --split writes parts\n"
            "lirrevo-cli: warning: the document has 11,060,063 bytes, more than the 10,485,760 "
            "bytes search engines take in one file; --split writes parts\n"
            "lirrevo-cli: warning: the document holds 69,999 duplicate links\n");
  EXPECT_EQ(ReadFile(dir_ / "all.xml").value_or("").size(), 11060063u);
  EXPECT_EQ(test::NamesIn(dir_), std::vector<std::string>{"all.xml"});
}

}  // namespace
}  // namespace lirrevo
