// Whether a page that answered 200 is the site's not-found page: its visible
// text held against the text of a page that cannot exist (a probe), by the
// shingles of their words, so that a shared template or title alone does not
// make two pages alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lirrevo::check {

// A page's words, each hashed: those of its visible text (script and style
// left out) in order, and those of the path it was asked by, which a
// not-found page often repeats.
struct PageWords {
  std::vector<std::uint64_t> text;
  std::vector<std::uint64_t> path;  // sorted
};

// html: the page's bytes, perhaps cut; path: the request's path, as sent.
// A word is a run of letters and digits (ASCII lowercased; every word with a
// digit, a number, a date's part or a server's id, the same word) or one CJK
// character.
PageWords WordsOf(std::string_view html, std::string_view path);

// How alike the two pages' texts are, both paths' words taken out of both
// (the share of three-word runs they have in common), when the page is the
// missing one with at most a word or two of its own; nothing when it is not,
// or either text is empty.
std::optional<double> Likeness(const PageWords& page, const PageWords& missing);

}  // namespace lirrevo::check
