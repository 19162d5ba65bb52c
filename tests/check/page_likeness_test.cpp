#include "check/page_likeness.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "check/html_page.h"

namespace lirrevo::check {
namespace {

// A site's template: the same title, menu and footer on every page.
std::string Page(const std::string& title, const std::string& main) {
  return "<html><head><title>" + title + "</title><script>var menu = 'shop';</script></head>" +
         "<body><nav>Home Products About Contact Blog Help Returns Shipping</nav><main>" + main +
         "</main><footer>Copyright 2026 Example Shop. All rights reserved.</footer></body></html>";
}

struct LikenessCase {
  const char* name;
  std::string page, page_path;
  std::string missing, missing_path;  // the probe's page and path
  std::optional<double> alike;
};

void PrintTo(const LikenessCase& c, std::ostream* os) { *os << c.name; }

// The link check's zoo holds the plain cases end to end (the same text on
// another path, a page as long as a missing one); these are what it does
// not reach.
class PageLikeness : public ::testing::TestWithParam<LikenessCase> {};

TEST_P(PageLikeness, IsTheMissingPageOnlyWhereTheTextIs) {
  const LikenessCase& c = GetParam();
  const std::optional<double> alike =
      Likeness(WordsOf(c.page, c.page_path), WordsOf(c.missing, c.missing_path));
  ASSERT_EQ(alike.has_value(), c.alike.has_value());
  if (alike) {
    EXPECT_NEAR(*alike, *c.alike, 0.005);
  }
}

const std::string kNotFound = "<h1>Not found</h1><p>Sorry, nothing is at ";
const std::string kProbe = "/shop/lirrevo-probe-0123456789abcdef";

INSTANTIATE_TEST_SUITE_P(
    Table, PageLikeness,
    ::testing::Values(
        LikenessCase{"AnEncodedPathRepeatedDecoded", Page("Shop", kNotFound + "/shop/旧靴子.</p>"),
                     "/shop/%E6%97%A7%E9%9D%B4%E5%AD%90",
                     Page("Shop", kNotFound + kProbe + ".</p>"), kProbe, 1.0},
        LikenessCase{"AnIdOfTheServersOwn", Page("Shop", kNotFound + "x.</p><p>Request 9f3a</p>"),
                     "/shop/x", Page("Shop", kNotFound + kProbe + ".</p><p>Request 1c2e</p>"),
                     kProbe, 1.0},
        LikenessCase{"TheSameTitleAndTemplateWithAProductsText",
                     Page("Shop", "<h1>Boots</h1><p>Leather walking boots with a rubber sole.</p>"),
                     "/shop/boots", Page("Shop", kNotFound + kProbe + ".</p>"), kProbe,
                     std::nullopt},
        LikenessCase{"ChineseTextWordByWord", "<p>抱歉，您访问的页面不存在。</p>", "/a/旧",
                     "<p>抱歉，您访问的页面不存在。</p>", "/a/lirrevo-probe-0", 1.0},
        LikenessCase{"ChineseTextOfItsOwn", "<p>我们的团队有九个人。</p>", "/a/team",
                     "<p>抱歉，您访问的页面不存在。</p>", "/a/lirrevo-probe-0", std::nullopt},
        LikenessCase{"NoTextAtAll", "<html><script>app()</script></html>", "/a/x",
                     "<html><script>app()</script></html>", "/a/lirrevo-probe-0", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The step that a page's words, and the test of a page for UTF-8, read by.
TEST(CodePointTest, ReadsUtf8AndLetsAStrayByteStandForItself) {
  using Step = std::pair<char32_t, std::size_t>;
  EXPECT_EQ(CodePoint("a", 0), Step(U'a', 1));
  EXPECT_EQ(CodePoint("\xC3\xA9", 0), Step(0xE9, 2));
  EXPECT_EQ(CodePoint("\xE6\x96\x87", 0), Step(0x6587, 3));
  EXPECT_EQ(CodePoint("x\xF0\x9F\x98\x80", 1), Step(0x1F600, 4));
  EXPECT_EQ(CodePoint("\xE6\x96", 0), Step(0xE6, 1));      // cut short
  EXPECT_EQ(CodePoint("\xE6\x41\x87", 0), Step(0xE6, 1));  // no continuation byte
  EXPECT_EQ(CodePoint("\xC0\x80", 0), Step(0xC0, 1));      // never a lead byte
  EXPECT_EQ(CodePoint("\x80", 0), Step(0x80, 1));
  EXPECT_EQ(CodePoint("\xF5\x80\x80\x80", 0), Step(0xF5, 1));
}

}  // namespace
}  // namespace lirrevo::check
