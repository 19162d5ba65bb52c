// A list of links as it arrives from a file, a pipe or the page's box: one
// pass decodes it to UTF-8 and checks every line, naming the bad ones.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo {

enum class ListEncoding { kUtf8, kGbk, kGb18030, kUtf16Le, kUtf16Be };

// kAny: CR LF, a lone LF and a lone CR each end a line (a list file).
// kCrLf: only CR LF does; a lone CR or LF is part of the link (the edit box).
enum class LineBreaks { kAny, kCrLf };

// The most bad lines that DecodedList::Problems names one by one.
inline constexpr std::size_t kMaxNamedLines = 20;

// Drops a leading byte-order mark from bytes and returns the encoding to read
// them in: a UTF-16 mark picks UTF-16 of its order where UTF-8 or UTF-16 is
// asked for; a UTF-8 mark is dropped where UTF-8 is. UTF-16 without a mark
// is little-endian, as Windows writes it.
ListEncoding TakeByteOrderMark(std::string_view& bytes, ListEncoding encoding);

class DecodedList {
 public:
  // The list as UTF-8 with its line breaks as they came; meaningful only when Ok().
  std::string_view Utf8() const { return converted_ ? std::string_view(*converted_) : source_; }
  bool Ok() const { return bad_lines_ == 0; }
  // "line N: why" for the first kMaxNamedLines bad lines, then "K more bad lines".
  std::vector<std::string> Problems() const;

 private:
  friend class ListScan;
  friend class ListDecoder;
  friend DecodedList DecodeList(std::string_view bytes, ListEncoding encoding);
  friend DecodedList DecodeUtf8List(std::string_view bytes);
  std::string_view source_;
  std::optional<std::string> converted_;  // where the bytes were not UTF-8
  std::size_t bad_lines_ = 0;
  std::vector<std::string> named_;
};

// Decodes bytes (no byte-order mark) and checks each line: it is bad where it
// holds bytes invalid in the encoding, a NUL or another character XML 1.0
// cannot hold, or a character the system's text has no code for. Lines end
// as LineBreaks::kAny says. A UTF-8 list is not copied: the result views it.
DecodedList DecodeList(std::string_view bytes, ListEncoding encoding);

// DecodeList for a list that arrives in pieces, such as a file read a block at
// a time: the list is held once, as UTF-8, never as its raw bytes as well.
// UTF-8, GBK or GB18030 (UTF-16 is decoded whole, by DecodeList).
class ListDecoder {
 public:
  // expected_size: the list's size where it is known, to reserve its text.
  explicit ListDecoder(ListEncoding encoding, std::size_t expected_size = 0);
  ~ListDecoder();
  ListDecoder(const ListDecoder&) = delete;
  ListDecoder& operator=(const ListDecoder&) = delete;

  // Takes the next bytes of the list, cut anywhere. Only the bytes of a
  // character cut at the end are held apart, so a long line costs no copy.
  void Feed(std::string_view bytes);
  // Whether a bad line has been read, the line still open included: a
  // reader of endless input may stop there.
  bool FoundProblem() const;
  DecodedList Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// DecodeList for UTF-8, without the hint that a refused list may be GBK: it
// needs no converter, which the web page does not have.
DecodedList DecodeUtf8List(std::string_view bytes);

// The one rule for cutting text into lines, for the box (kCrLf), a list
// file and the page (kAny): calls line(text) for each line of text in
// order; a final line break adds no line and the empty text gives none.
// Only the bytes CR and LF are looked at; neither is ever part of a longer
// character in UTF-8 or in the system's text, so both are cut correctly.
template <typename Line>
void ForEachLine(std::string_view text, LineBreaks breaks, Line&& line);

// Offset of the first line break at or after from, or text.size(): the
// step of ForEachLine.
std::size_t FindLineBreak(std::string_view text, std::size_t from, LineBreaks breaks);

// How many non-empty lines of text repeat an earlier line exactly. Holds a
// bit per hash (a few MB) rather than the lines: only the lines whose hash
// was seen before are compared, in a second pass.
std::size_t CountRepeatedLines(std::string_view text, LineBreaks breaks);

template <typename Line>
void ForEachLine(std::string_view text, LineBreaks breaks, Line&& line) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = FindLineBreak(text, start, breaks);
    line(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

}  // namespace lirrevo
