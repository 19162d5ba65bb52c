#include "core/logs/crawlers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lirrevo {
namespace {

constexpr std::array<std::string_view, 3> kGoogle = {"Googlebot", "Google-InspectionTool",
                                                     "GoogleOther"};
constexpr std::array<std::string_view, 3> kBing = {"bingbot", "BingPreview", "msnbot"};
constexpr std::array<std::string_view, 1> kBaidu = {"Baiduspider"};
constexpr std::array<std::string_view, 2> kYandex = {"YandexBot", "YandexMobileBot"};
constexpr std::array<std::string_view, 1> kSogou = {"Sogou web spider"};
constexpr std::array<std::string_view, 2> kSo360 = {"360Spider", "HaoSouSpider"};
constexpr std::array<std::string_view, 1> kBytedance = {"Bytespider"};
constexpr std::array<std::string_view, 1> kShenma = {"YisouSpider"};
constexpr std::array<std::string_view, 1> kYahoo = {"Yahoo! Slurp"};
constexpr std::array<std::string_view, 1> kDuckDuckGo = {"DuckDuckBot"};
constexpr std::array<std::string_view, 1> kApple = {"Applebot"};
constexpr std::array<std::string_view, 1> kNaver = {"Yeti/"};
constexpr std::array<std::string_view, 1> kSeznam = {"SeznamBot"};
constexpr std::array<std::string_view, 1> kPetal = {"PetalBot"};

constexpr std::array kCrawlers = {
    Crawler{"google", "Google", kGoogle},
    Crawler{"bing", "Bing", kBing},
    Crawler{"baidu", "Baidu", kBaidu},
    Crawler{"yandex", "Yandex", kYandex},
    Crawler{"sogou", "Sogou", kSogou},
    Crawler{"360", "360 Search (so.com)", kSo360},
    Crawler{"bytedance", "Toutiao Search (ByteDance)", kBytedance},
    Crawler{"shenma", "Shenma (sm.cn)", kShenma},
    Crawler{"yahoo", "Yahoo", kYahoo},
    Crawler{"duckduckgo", "DuckDuckGo", kDuckDuckGo},
    Crawler{"apple", "Apple (Siri, Spotlight)", kApple},
    Crawler{"naver", "Naver", kNaver},
    Crawler{"seznam", "Seznam", kSeznam},
    Crawler{"petal", "Petal Search (Huawei)", kPetal},
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Every token in lower case, grouped by its first byte, each group in the
// table's order: a user agent is read once, and at each of its bytes only
// the few tokens that begin with it are tried.
class TokenIndex {
 public:
  TokenIndex() {
    for (const Crawler& crawler : kCrawlers) {
      for (const std::string_view token : crawler.tokens) {
        std::string lower;
        for (const char c : token) lower += LowerAscii(c);
        tokens_.emplace_back(std::move(lower), &crawler);
      }
    }
    std::stable_sort(tokens_.begin(), tokens_.end(), [](const auto& a, const auto& b) {
      return static_cast<unsigned char>(a.first[0]) < static_cast<unsigned char>(b.first[0]);
    });
    for (std::size_t byte = 0, at = 0; byte <= 256; ++byte) {
      while (at < tokens_.size() && static_cast<unsigned char>(tokens_[at].first[0]) < byte) ++at;
      starts_[byte] = static_cast<std::uint8_t>(at);
    }
  }

  // The crawler earliest in the table whose token begins at text[at], if
  // it comes before found (null: none yet).
  const Crawler* At(std::string_view text, std::size_t at, const Crawler* found) const {
    const auto first = static_cast<unsigned char>(LowerAscii(text[at]));
    for (std::size_t i = starts_[first]; i < starts_[first + 1]; ++i) {
      const auto& [token, crawler] = tokens_[i];
      if ((found == nullptr || crawler < found) && HoldsNoCase(text, at, token)) return crawler;
    }
    return found;
  }

 private:
  static bool HoldsNoCase(std::string_view text, std::size_t at, std::string_view lower) {
    if (text.size() - at < lower.size()) return false;
    for (std::size_t i = 1; i < lower.size(); ++i) {
      if (LowerAscii(text[at + i]) != lower[i]) return false;
    }
    return true;
  }

  std::vector<std::pair<std::string, const Crawler*>> tokens_;
  std::array<std::uint8_t, 257> starts_{};  // the tokens of byte b: [starts_[b], starts_[b + 1])
};

}  // namespace

std::span<const Crawler> Crawlers() { return kCrawlers; }

const Crawler* CrawlerOf(std::string_view user_agent) {
  static const TokenIndex kIndex;
  const Crawler* found = nullptr;
  // Once the table's first crawler is found, none can come before it.
  for (std::size_t at = 0; at < user_agent.size() && found != kCrawlers.data(); ++at) {
    found = kIndex.At(user_agent, at, found);
  }
  return found;
}

}  // namespace lirrevo
