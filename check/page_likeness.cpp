#include "check/page_likeness.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

#include "check/html_page.h"
#include "core/document/ascii.h"

namespace lirrevo::check {
namespace {

// Three words at a time: a shared word or two, or a shared title, makes few
// runs in common; the same paragraph makes many.
constexpr std::size_t kShingle = 3;
// The least share of runs in common, and the most runs of its own, that
// leave a page the missing page: a date, a counter or an id of the server's
// may differ, a product's description may not.
constexpr double kAlike = 0.9;
constexpr std::size_t kOwnRuns = 8;

std::uint64_t Hash(std::string_view word) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : word) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

bool IsCjk(char32_t c) {
  const bool punctuation =
      (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20);
  return c >= 0x2E80 && !punctuation && !(c >= 0xFE30 && c <= 0xFE4F);
}

// Letters and digits beyond ASCII that are written in words (Latin, Greek,
// Cyrillic and the like), not CJK, punctuation or spaces.
bool IsWordLetter(char32_t c) { return c >= 0xC0 && c < 0x2000 && c != 0xD7 && c != 0xF7; }

// Appends the hashes of text's words to words.
void AddWords(std::string_view text, std::vector<std::uint64_t>& words) {
  std::string word;
  bool digits = false;
  const auto end_word = [&] {
    if (!word.empty()) words.push_back(Hash(digits ? std::string_view("#") : word));
    word.clear();
    digits = false;
  };
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = CodePoint(text, at);
    if (c < 0x80 && std::isalnum(static_cast<int>(c))) {
      word += static_cast<char>(std::tolower(static_cast<int>(c)));
      digits = digits || (c >= '0' && c <= '9');
    } else if (IsWordLetter(c)) {
      word.append(text.substr(at, length));
    } else {
      end_word();
      if (IsCjk(c)) words.push_back(Hash(text.substr(at, length)));
    }
    at += length;
  }
  end_word();
}

// The runs of kShingle words of text without the words of either path, each
// hashed; sorted, each once.
std::vector<std::uint64_t> Shingles(const std::vector<std::uint64_t>& text, const PageWords& a,
                                    const PageWords& b) {
  std::vector<std::uint64_t> kept;
  for (const std::uint64_t word : text) {
    if (!std::ranges::binary_search(a.path, word) && !std::ranges::binary_search(b.path, word)) {
      kept.push_back(word);
    }
  }
  std::vector<std::uint64_t> shingles;
  const std::size_t size = std::min(kShingle, kept.size());
  for (std::size_t i = 0; size > 0 && i + size <= kept.size(); ++i) {
    std::uint64_t hash = 0;
    for (std::size_t j = 0; j < size; ++j) hash = hash * 1099511628211ull ^ kept[i + j];
    shingles.push_back(hash);
  }
  std::sort(shingles.begin(), shingles.end());
  shingles.erase(std::unique(shingles.begin(), shingles.end()), shingles.end());
  return shingles;
}

// The path's percent-escapes decoded: "%E6%96%87" gives the bytes of "文".
// Written here rather than taken from libcurl, which the page comparison
// does not link.
std::string Decoded(std::string_view path) {
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && HexPairAt(path, i + 1)) {
      decoded += static_cast<char>(HexDigit(path[i + 1]) * 16 + HexDigit(path[i + 2]));
      i += 2;
    } else {
      decoded += path[i];
    }
  }
  return decoded;
}

}  // namespace

PageWords WordsOf(std::string_view html, std::string_view path) {
  PageWords words;
  AddWords(Decoded(path), words.path);
  std::sort(words.path.begin(), words.path.end());
  // The text of every element a reader sees (the title too), in document order.
  ReadHtml(
      html, [](std::string_view, HtmlAttributes) {},
      [&](std::string_view text) { AddWords(text, words.text); });
  return words;
}

std::optional<double> Likeness(const PageWords& page, const PageWords& missing) {
  const std::vector<std::uint64_t> a = Shingles(page.text, page, missing);
  const std::vector<std::uint64_t> b = Shingles(missing.text, page, missing);
  if (a.empty() || b.empty()) return std::nullopt;
  std::vector<std::uint64_t> common;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
  const double alike =
      static_cast<double>(common.size()) / static_cast<double>(a.size() + b.size() - common.size());
  if (alike < kAlike || a.size() - common.size() > kOwnRuns ||
      b.size() - common.size() > kOwnRuns) {
    return std::nullopt;
  }
  return alike;
}

}  // namespace lirrevo::check
