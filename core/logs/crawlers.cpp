#include "core/logs/crawlers.h"

#include <algorithm>
#include <array>
#include <cctype>
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

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::span<const Crawler> Crawlers() { return kCrawlers; }

const Crawler* CrawlerOf(std::string_view user_agent) {
  // The tokens in lower case, made once; the user agent lowered once a call.
  static const std::vector<std::pair<std::string, const Crawler*>> kTokens = [] {
    std::vector<std::pair<std::string, const Crawler*>> tokens;
    for (const Crawler& crawler : kCrawlers) {
      for (const std::string_view token : crawler.tokens)
        tokens.emplace_back(Lower(token), &crawler);
    }
    return tokens;
  }();
  const std::string lower = Lower(user_agent);
  for (const auto& [token, crawler] : kTokens) {
    if (lower.find(token) != std::string::npos) return crawler;
  }
  return nullptr;
}

}  // namespace lirrevo
