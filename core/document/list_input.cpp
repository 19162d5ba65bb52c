#include "core/document/list_input.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "core/document/output_encoding.h"
#include "core/document/text_scan.h"
#include "core/document/xml_characters.h"

namespace lirrevo {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
// What ToUtf8MarkingInvalid writes where the input ends inside a character.
constexpr unsigned char kTruncatedMark = 0xFE;

unsigned char Byte(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]);
}

// Whether a byte of encoded text is a character of its own, never part of a
// longer one: any ASCII byte in UTF-8; in GBK and GB18030, whose second and
// fourth bytes may be ASCII digits and letters, a byte below '0'. A CR is
// not, since the LF after it belongs to the same line break.
bool IsCharacterEnd(char byte, ListEncoding encoding) {
  const auto b = static_cast<unsigned char>(byte);
  if (b == '\r') return false;
  return encoding == ListEncoding::kUtf8 ? b < 0x80 : b < '0';
}

const char* NameOf(ListEncoding encoding) {
  if (encoding == ListEncoding::kGbk) return "GBK";
  if (encoding == ListEncoding::kGb18030) return "GB18030";
  return encoding == ListEncoding::kUtf8 ? "UTF-8" : "UTF-16";
}

// Why a character is refused, or nothing when it is taken.
std::optional<std::string> Refusal(char32_t code_point) {
  if (IsForbiddenInXml(code_point)) return DescribeForbidden(code_point);
  if (TextCanHold(code_point)) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code_point));
  return std::string("character ") + name + " has no code in GB18030";
}

}  // namespace

// What the scan needs iconv for: converting the runs of GBK or GB18030 bytes,
// and telling whether a list that is not UTF-8 would be GBK. Reached only
// through this interface, so that a program that reads UTF-8 alone links no
// converter.
class ListConverter {
 public:
  explicit ListConverter(ListEncoding encoding) {
    if (encoding == ListEncoding::kGbk || encoding == ListEncoding::kGb18030) {
      converter_.emplace(NameOf(encoding), "UTF-8");
    }
  }
  virtual ~ListConverter() = default;
  ListConverter(const ListConverter&) = delete;
  ListConverter& operator=(const ListConverter&) = delete;

  // Appends the UTF-8 of run to out; else the bytes left where it failed,
  // and whether it failed for want of the run's last bytes.
  virtual bool Convert(std::string_view run, std::string& out, std::size_t& left, bool& cut) {
    const std::size_t before = out.size();
    out.resize(before + run.size() * 3 + 8);  // a lone 0x80 becomes three bytes
    char* to = out.data() + before;
    std::size_t to_left = out.size() - before;
    bool ok = converter_ && converter_->Valid();
    if (ok) {
      converter_->Reset();
      ok = converter_->Convert(run, to, to_left);
    }
    left = run.size();
    cut = !ok && errno == EINVAL;
    out.resize(out.size() - to_left);
    return ok;
  }

  virtual bool IsGbk(std::string_view bytes) {
    return ConvertEncoding(bytes, "GBK", "UTF-8").has_value();
  }

 private:
  std::optional<EncodingConverter> converter_;
};

// Walks the list once, a region at a time (each region ends after a line
// break, or at the end of the list): line by line, gathering the bad lines
// and, for GBK and GB18030, the UTF-8 conversion of the runs of bytes above
// 0x7F, which it appends to the list's text.
class ListScan {
 public:
  // converter: null where the list is UTF-8 and no hint is wanted.
  ListScan(ListEncoding encoding, ListConverter* converter, DecodedList& list)
      : encoding_(encoding),
        list_(list),
        converter_(converter),
        converting_(encoding == ListEncoding::kGbk || encoding == ListEncoding::kGb18030) {}

  void Scan(std::string_view region, bool last) {
    in_ = region;
    copied_ = 0;
    line_start_ = 0;
    std::size_t pos = 0;
    while ((pos = FindNotPrintableAscii(in_, pos)) < in_.size()) {
      const unsigned char b = Byte(in_, pos);
      if (b == '\r' || b == '\n') {
        EndLine();
        pos += b == '\r' && pos + 1 < in_.size() && in_[pos + 1] == '\n' ? 2 : 1;
        line_start_ = pos;
      } else if (b == '\t') {
        ++pos;
      } else if (b < 0x20) {
        Note(b == 0 ? "NUL byte in the input" : DescribeForbidden(b));
        ++pos;
      } else {
        pos = converting_ ? ConvertRun(pos) : CheckCharacter(pos);
      }
    }
    // A region may end inside a line, which the next region goes on with.
    if (line_start_ < in_.size()) open_line_ = true;
    if (last && open_line_) EndLine();
    if (converting_) list_.converted_->append(in_.substr(copied_));
  }

  // Whether a line read so far is bad, the one still open included.
  bool FoundProblem() const { return list_.bad_lines_ != 0 || problem_.has_value(); }

  // Once the whole list is known: a list refused as UTF-8 that would be
  // valid GBK says so in its invalid lines.
  void Finish() {
    if (!invalid_utf8_ || converter_ == nullptr || !converter_->IsGbk(list_.Utf8())) return;
    for (std::string& named : list_.named_) {
      if (named.ends_with(kInvalidUtf8)) named += "; is it GBK? try --input-encoding gbk";
    }
  }

 private:
  static constexpr std::string_view kInvalidUtf8 = "invalid UTF-8";

  // Converts the run of GBK or GB18030 characters at pos (a byte above 0x80
  // takes the byte after it along) and checks what it gives; where to go on.
  std::size_t ConvertRun(std::size_t pos) {
    std::size_t end = pos;
    while (end < in_.size() && Byte(in_, end) >= 0x80) {
      end += Byte(in_, end) > 0x80 && end + 1 < in_.size() ? 2 : 1;
    }
    std::string& out = *list_.converted_;
    out.append(in_.substr(copied_, pos - copied_));
    const std::size_t before = out.size();
    std::size_t left = end - pos;
    bool cut = false;
    if (!converter_->Convert(in_.substr(pos, end - pos), out, left, cut)) {
      const std::string name = NameOf(encoding_);
      const bool truncated = cut && end == in_.size();
      Note(truncated ? "input ends inside a " + name + " character" : "invalid " + name);
      copied_ = end - left + 1;
      return copied_;
    }
    for (std::size_t at = before; at < out.size();) {
      const Utf8Character c = DecodeUtf8(out, at);
      if (std::optional<std::string> why = Refusal(c.code_point)) Note(*std::move(why));
      at += c.length;
    }
    copied_ = end;
    return end;
  }

  std::size_t CheckCharacter(std::size_t pos) {
    const Utf8Character c = DecodeUtf8(in_, pos);
    if (c.length == 0) {
      Note(InvalidBytes(Byte(in_, pos)));
      return pos + 1;
    }
    if (std::optional<std::string> why = Refusal(c.code_point)) Note(*std::move(why));
    return pos + c.length;
  }

  std::string InvalidBytes(unsigned char b) {
    if (encoding_ != ListEncoding::kUtf8) {
      return b == kTruncatedMark ? "input ends inside a UTF-16 character" : "invalid UTF-16";
    }
    invalid_utf8_ = true;
    return std::string(kInvalidUtf8);
  }

  void Note(std::string why) {
    if (!problem_) problem_ = std::move(why);
  }

  void EndLine() {
    ++line_number_;
    open_line_ = false;
    if (!problem_) return;
    if (++list_.bad_lines_ <= kMaxNamedLines) {
      list_.named_.push_back("line " + std::to_string(line_number_) + ": " + *problem_);
    }
    problem_.reset();
  }

  ListEncoding encoding_;
  DecodedList& list_;
  ListConverter* converter_;
  const bool converting_;  // GBK or GB18030: the runs above 0x7F go through converter_
  std::string_view in_;    // the region: the bytes, or their UTF-16 conversion
  std::size_t copied_ = 0;
  std::size_t line_start_ = 0;
  std::size_t line_number_ = 0;
  bool open_line_ = false;  // the last region ended inside a line
  std::optional<std::string> problem_;
  bool invalid_utf8_ = false;
};

ListEncoding TakeByteOrderMark(std::string_view& bytes, ListEncoding encoding) {
  const bool may_be_utf16 = encoding != ListEncoding::kGbk && encoding != ListEncoding::kGb18030;
  if (may_be_utf16 && (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark))) {
    const bool be = bytes.starts_with(kUtf16BeMark);
    bytes.remove_prefix(2);
    return be ? ListEncoding::kUtf16Be : ListEncoding::kUtf16Le;
  }
  if (encoding == ListEncoding::kUtf8 && bytes.starts_with(kUtf8Mark)) {
    bytes.remove_prefix(kUtf8Mark.size());
  }
  return encoding;
}

std::vector<std::string> DecodedList::Problems() const {
  std::vector<std::string> problems = named_;
  if (bad_lines_ > kMaxNamedLines) {
    const std::size_t more = bad_lines_ - kMaxNamedLines;
    problems.push_back(std::to_string(more) + (more == 1 ? " more bad line" : " more bad lines"));
  }
  return problems;
}

DecodedList DecodeList(std::string_view bytes, ListEncoding encoding) {
  if (encoding == ListEncoding::kGbk || encoding == ListEncoding::kGb18030) {
    ListDecoder decoder(encoding, bytes.size());
    decoder.Feed(bytes);
    return decoder.Finish();
  }
  DecodedList list;
  list.source_ = bytes;
  if (encoding != ListEncoding::kUtf8) {
    const bool be = encoding == ListEncoding::kUtf16Be;
    list.converted_ = ToUtf8MarkingInvalid(bytes, be ? "UTF-16BE" : "UTF-16LE", 2);
  }
  ListConverter converter(encoding);
  ListScan scan(encoding, &converter, list);
  scan.Scan(list.Utf8(), true);
  scan.Finish();
  return list;
}

DecodedList DecodeUtf8List(std::string_view bytes) {
  DecodedList list;
  list.source_ = bytes;
  ListScan scan(ListEncoding::kUtf8, nullptr, list);
  scan.Scan(bytes, true);
  return list;
}

struct ListDecoder::State {
  State(ListEncoding encoding, std::size_t expected_size)
      : encoding(encoding), converter(encoding), scan(encoding, &converter, list) {
    const bool converting = encoding != ListEncoding::kUtf8;
    list.converted_.emplace().reserve(expected_size + (converting ? expected_size / 4 : 0));
  }

  // Scans the region; a UTF-8 list keeps its own bytes as its text.
  void Scan(std::string_view region, bool last) {
    if (encoding == ListEncoding::kUtf8) list.converted_->append(region);
    scan.Scan(region, last);
  }

  ListEncoding encoding;
  DecodedList list;
  ListConverter converter;
  ListScan scan;
  std::string pending;  // the bytes after the last line break fed so far
};

ListDecoder::ListDecoder(ListEncoding encoding, std::size_t expected_size)
    : state_(std::make_unique<State>(encoding, expected_size)) {}

ListDecoder::~ListDecoder() = default;

void ListDecoder::Feed(std::string_view bytes) {
  State& s = *state_;
  // The bytes up to the last one that is a whole character whatever comes
  // next are scanned now; the rest waits for the next bytes. A CR waits too,
  // so that a CR LF is never cut in two.
  std::size_t end = bytes.size();
  while (end > 0 && !IsCharacterEnd(bytes[end - 1], s.encoding)) --end;
  if (end == 0) {
    s.pending.append(bytes);
    return;
  }
  if (!s.pending.empty()) {
    s.pending.append(bytes.substr(0, end));
    s.Scan(s.pending, false);
    s.pending.clear();
  } else {
    s.Scan(bytes.substr(0, end), false);
  }
  s.pending.append(bytes.substr(end));
}

bool ListDecoder::FoundProblem() const { return state_->scan.FoundProblem(); }

DecodedList ListDecoder::Finish() {
  State& s = *state_;
  s.Scan(s.pending, true);
  std::string().swap(s.pending);
  s.scan.Finish();
  return std::move(s.list);
}

std::size_t FindLineBreak(std::string_view text, std::size_t from, LineBreaks breaks) {
  if (breaks == LineBreaks::kAny) return FindAnyOf<'\r', '\n'>(text, from);
  for (std::size_t at = from;; ++at) {
    at = FindByte(text, at, '\r');
    if (at == text.size() || (at + 1 < text.size() && text[at + 1] == '\n')) return at;
  }
}

namespace {

// Calls each(line, hash) for the non-empty lines of text, a batch at a time
// with the batch's bits asked of memory ahead, so that their fetches overlap.
template <typename Word, typename Each>
void ForEachHashedLine(std::string_view text, LineBreaks breaks, Word&& word_of, Each&& each) {
  constexpr std::size_t kBatch = 32;
  std::array<std::pair<std::string_view, std::uint64_t>, kBatch> batch;
  std::size_t held = 0;
  const std::hash<std::string_view> hash;
  const auto flush = [&] {
    for (std::size_t i = 0; i < held; ++i) each(batch[i].first, batch[i].second);
    held = 0;
  };
  ForEachLine(text, breaks, [&](std::string_view line) {
    if (line.empty()) return;
    // Spread over 64 bits where size_t has 32.
    const std::uint64_t h = hash(line) * std::uint64_t{0x9E3779B97F4A7C15};
    __builtin_prefetch(&word_of(h));
    batch[held++] = {line, h};
    if (held == kBatch) flush();
  });
  flush();
}

}  // namespace

std::size_t CountRepeatedLines(std::string_view text, LineBreaks breaks) {
  // About ten bits a line for a list of long links, never less than 2 MiB.
  const std::size_t bits = std::max(std::size_t{1} << 24, std::bit_ceil(text.size() / 8));
  std::vector<std::uint64_t> seen(bits / 64);
  const auto first_word = [&](std::uint64_t h) -> std::uint64_t& {
    return seen[static_cast<std::size_t>(h >> 6) & (seen.size() - 1)];
  };
  std::vector<std::uint64_t> again;  // the hashes seen twice, or sharing a bit
  ForEachHashedLine(text, breaks, first_word, [&](std::string_view, std::uint64_t h) {
    std::uint64_t& word = first_word(h);
    const std::uint64_t bit = std::uint64_t{1} << (h & 63);
    if ((word & bit) != 0) again.push_back(h);
    word |= bit;
  });
  if (again.empty()) return 0;
  // The bits again, now of the hashes seen twice only, by other bits of
  // them: most lines are passed over at one look.
  std::fill(seen.begin(), seen.end(), 0);
  const auto second_word = [&](std::uint64_t h) -> std::uint64_t& {
    return seen[static_cast<std::size_t>((h >> 32) ^ (h << 26)) & (seen.size() - 1)];
  };
  for (const std::uint64_t h : again) second_word(h) |= std::uint64_t{1} << (h >> 58);
  std::sort(again.begin(), again.end());
  again.erase(std::unique(again.begin(), again.end()), again.end());
  // The first line of each of those hashes; a later line of one is a repeat
  // when it equals that line. Different lines of one hash are all but
  // unknown: they are set aside, and sorted to find which repeat.
  std::vector<std::string_view> first(again.size());
  std::vector<std::pair<std::uint64_t, std::string_view>> others;
  std::size_t repeated = 0;
  ForEachHashedLine(text, breaks, second_word, [&](std::string_view line, std::uint64_t h) {
    if ((second_word(h) & (std::uint64_t{1} << (h >> 58))) == 0) return;
    const auto at = std::lower_bound(again.begin(), again.end(), h);
    if (at == again.end() || *at != h) return;
    std::string_view& kind = first[static_cast<std::size_t>(at - again.begin())];
    if (kind.data() == nullptr) {
      kind = line;
    } else if (kind == line) {
      ++repeated;
    } else {
      others.emplace_back(h, line);
    }
  });
  std::sort(others.begin(), others.end());
  for (std::size_t i = 1; i < others.size(); ++i) {
    repeated += others[i] == others[i - 1] ? 1 : 0;
  }
  return repeated;
}

}  // namespace lirrevo
