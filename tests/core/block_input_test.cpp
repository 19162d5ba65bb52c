#include "core/files/block_input.h"

#include <gtest/gtest.h>

#include <string>

#include "core/files/gzip_stream.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

std::string Gzipped(const std::string& text) {
  std::string out;
  GzipStream gzip([&](std::string_view bytes) { return out.append(bytes), true; });
  gzip.Write(text);
  gzip.Finish();
  return out;
}

// Every input read in blocks of 7 bytes, so that members and lines are cut.
TEST(BlockInput, ReadsPlainAndGzipWholeOrSaysWhy) {
  const std::string text(100000, 'a');
  const std::string member = Gzipped(text);
  const struct {
    const char* name;
    std::string bytes;
    std::string read;   // when it reads whole
    std::string error;  // else
  } cases[] = {
      {"Empty", "", "", ""},
      {"OneByte", "\x1f", "\x1f", ""},
      {"Plain", "https://e.cn/a\n", "https://e.cn/a\n", ""},
      {"Gzip", member, text, ""},
      {"TwoMembers", member + Gzipped("b\n"), text + "b\n", ""},
      {"Cut", member.substr(0, member.size() - 4), "", "the gzip data ends early"},
      {"CutInItsHeader", member.substr(0, 5), "", "the gzip data ends early"},
      {"Corrupt", member.substr(0, 20) + std::string(40, 'x') + member.substr(60), "",
       "the gzip data is corrupt"},
      {"GarbageAfter", member + "xyz", "", "the gzip data is corrupt"},
  };
  const test::TempFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(dir / "input", c.bytes);
    BlockInput input;
    ASSERT_TRUE(input.Open(dir / "input"));
    std::string read;
    char block[7];
    long got;
    while ((got = input.Read(block, sizeof block)) > 0) read.append(block, std::size_t(got));
    EXPECT_EQ(got == 0, c.error.empty()) << input.Error();
    if (c.error.empty()) {
      EXPECT_TRUE(read == c.read);
    }
    EXPECT_TRUE(input.Error().starts_with(c.error)) << input.Error();
  }
  BlockInput missing;
  EXPECT_FALSE(missing.Open(dir / "missing"));
  EXPECT_EQ(missing.Error(), "No such file or directory");
}

}  // namespace
}  // namespace lirrevo
