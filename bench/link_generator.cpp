#include "bench/link_generator.h"

#include <cstdint>
#include <random>

namespace lirrevo::bench {
namespace {

// GBK: 新闻 (news), 产品 (products), 链接 (link).
constexpr const char* kChineseWords[] = {"\xD0\xC2\xCE\xC5", "\xB2\xFA\xC6\xB7",
                                         "\xC1\xB4\xBD\xD3"};
constexpr const char* kHosts[] = {"https://www.example.com", "http://blog.example.cn",
                                  "https://shop.example.net", "http://m.example.org"};
constexpr const char kPathChars[] = "abcdefghijklmnopqrstuvwxyz0123456789-_/";

std::string Link(std::mt19937& rng) {
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<std::size_t> length(40, 120);
  std::uniform_int_distribution<std::size_t> path_char(0, sizeof kPathChars - 2);
  const std::size_t target = length(rng);
  std::string link = kHosts[rng() % 4];
  link += '/';
  const int kind = percent(rng);
  if (kind < 10)
    link += std::string(kChineseWords[rng() % 3]) + '/' + kChineseWords[rng() % 3] + '/';
  const bool query = kind >= 10 && kind < 20;
  const std::size_t path_end = query ? target - 16 : target - 5;
  while (link.size() < path_end) link += kPathChars[path_char(rng)];
  link += ".html";
  if (query) link += "?id=" + std::to_string(rng() % 1000) + "&p=2";
  return link;
}

}  // namespace

std::string GenerateLinkText(std::size_t count) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text;
  text.reserve(count * 84);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += "\r\n";
    if (percent(rng) != 0) text += Link(rng);
  }
  return text;
}

}  // namespace lirrevo::bench
