#include "core/logs/crawlers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/document/ascii.h"

namespace lirrevo {
namespace {

constexpr std::array kCrawlers = {
    Crawler{"google", "Google", "Googlebot|Google-InspectionTool|GoogleOther"},
    Crawler{"bing", "Bing", "bingbot|BingPreview|msnbot"},
    Crawler{"baidu", "Baidu", "Baiduspider"},
    Crawler{"yandex", "Yandex", "YandexBot|YandexMobileBot"},
    Crawler{"sogou", "Sogou", "Sogou web spider"},
    Crawler{"360", "360 Search (so.com)", "360Spider|HaoSouSpider"},
    Crawler{"bytedance", "Toutiao Search (ByteDance)", "Bytespider"},
    Crawler{"shenma", "Shenma (sm.cn)", "YisouSpider"},
    Crawler{"yahoo", "Yahoo", "Yahoo! Slurp"},
    Crawler{"duckduckgo", "DuckDuckGo", "DuckDuckBot"},
    Crawler{"apple", "Apple (Siri, Spotlight)", "Applebot"},
    Crawler{"naver", "Naver", "Yeti/"},
    Crawler{"seznam", "Seznam", "SeznamBot"},
    Crawler{"petal", "Petal Search (Huawei)", "PetalBot"},
};

// Every token in lower case, grouped by its first byte, each group in the
// table's order: a user agent is read once, and at each of its bytes only
// the few tokens that begin with it are tried.
class TokenIndex {
 public:
  TokenIndex() {
    for (const Crawler& crawler : kCrawlers) {
      for (std::size_t at = 0; at <= crawler.tokens.size();) {
        const std::size_t end = std::min(crawler.tokens.find('|', at), crawler.tokens.size());
        tokens_.emplace_back(LowerAscii(std::string(crawler.tokens.substr(at, end - at))),
                             &crawler);
        at = end + 1;
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
