#include "core/urlset_stream.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "core/output_encoding.h"
#include "core/xml_characters.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lirrevo {
namespace {

#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

__m128i Load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Bit i set where p[i] is below 0x20 or at or above 0x80: as signed bytes,
// exactly those below 0x20.
unsigned NotPlainBytes(const char* p) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(Load(p), _mm_set1_epi8(0x20))));
}

// Bit i set where p[i] is one of & < > " '.
unsigned MarkupBytes(const char* p) {
  const __m128i v = Load(p);
  const auto is = [&](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_or_si128(_mm_or_si128(is('&'), is('<')), _mm_or_si128(is('>'), is('"'))), is('\''))));
}
#endif

// Offset of the first byte at or after from that is not printable ASCII (a
// control byte, tab among them, or a byte at or above 0x80), or text.size().
std::size_t SkipPlain(std::string_view text, std::size_t from) {
#if defined(__SSE2__)
  for (; from + kBlock <= text.size(); from += kBlock) {
    if (const unsigned found = NotPlainBytes(text.data() + from); found != 0) {
      return from + static_cast<std::size_t>(__builtin_ctz(found));
    }
  }
#endif
  while (from < text.size() && static_cast<signed char>(text[from]) >= 0x20) ++from;
  return from;
}

// Offset of the first markup character at or after from, or text.size().
std::size_t FindMarkup(std::string_view text, std::size_t from) {
#if defined(__SSE2__)
  for (; from + kBlock <= text.size(); from += kBlock) {
    if (const unsigned found = MarkupBytes(text.data() + from); found != 0) {
      return from + static_cast<std::size_t>(__builtin_ctz(found));
    }
  }
#endif
  for (; from < text.size(); ++from) {
    const char c = text[from];
    if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return from;
  }
  return from;
}

enum ByteClass : unsigned char { kPlain, kBreak, kControl, kHigh };

constexpr std::array<unsigned char, 256> kByteClasses = [] {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 0x20; ++b) table[b] = kControl;
  table['\t'] = kPlain;
  table['\r'] = kBreak;
  table['\n'] = kBreak;
  for (int b = 0x80; b < 0x100; ++b) table[b] = kHigh;
  return table;
}();

// Whether a decoded character may stand in a link.
bool Writable(char32_t code_point) {
  return code_point != 0 && !IsForbiddenInXml(code_point) && TextCanHold(code_point);
}

bool Utf8IsWritable(std::string_view utf8) {
  for (std::size_t pos = 0; pos < utf8.size();) {
    const Utf8Character c = DecodeUtf8(utf8, pos);
    if (c.length == 0 || !Writable(c.code_point)) return false;
    pos += c.length;
  }
  return true;
}

// Turns runs of a GBK or GB18030 list's characters into UTF-8. The line
// reader calls it through the vtable, so a UTF-8 list's route links no iconv.
class RunConverter {
 public:
  explicit RunConverter(ListEncoding encoding)
      : cd_(iconv_open("UTF-8", encoding == ListEncoding::kGbk ? "GBK" : "GB18030")) {}
  virtual ~RunConverter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  RunConverter(const RunConverter&) = delete;
  RunConverter& operator=(const RunConverter&) = delete;

  // Appends the run's UTF-8 to out; false when the run is not valid.
  virtual bool Append(std::string_view run, std::string& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    const std::size_t before = out.size();
    out.resize(before + run.size() * 2 + 8);
    char* in = const_cast<char*>(run.data());
    std::size_t in_left = run.size();
    char* to = out.data() + before;
    std::size_t to_left = out.size() - before;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &in, &in_left, &to, &to_left) == static_cast<std::size_t>(-1)) return false;
    out.resize(out.size() - to_left);
    return true;
  }

 private:
  iconv_t cd_;
};

// Hands out the list's lines as UTF-8: a view of the list itself where the
// line needs no conversion, else the line converted into a buffer of its own.
// A UTF-8 list has no converter.
class LineReader {
 public:
  LineReader(std::string_view list, RunConverter* converter) : list_(list), converter_(converter) {}

  bool AtEnd() const { return pos_ >= list_.size(); }

  // The next line, or false where it cannot be written.
  bool Next(std::string_view& line) {
    const std::size_t start = pos_;
    bool converted = false;
    line_.clear();
    std::size_t copied = start;  // list bytes before this are in line_ already
    while ((pos_ = SkipPlain(list_, pos_)) < list_.size()) {
      const auto cls = kByteClasses[static_cast<unsigned char>(list_[pos_])];
      if (cls == kPlain) {
        ++pos_;
      } else if (cls == kBreak) {
        break;
      } else if (cls == kControl) {
        return false;
      } else if (converter_ == nullptr) {
        const Utf8Character c = DecodeUtf8(list_, pos_);
        if (c.length == 0 || !Writable(c.code_point)) return false;
        pos_ += c.length;
      } else {
        line_.append(list_.substr(copied, pos_ - copied));
        const std::size_t run = pos_;
        while (pos_ < list_.size() && static_cast<unsigned char>(list_[pos_]) >= 0x80) {
          pos_ += static_cast<unsigned char>(list_[pos_]) > 0x80 && pos_ + 1 < list_.size() ? 2 : 1;
        }
        const std::size_t before = line_.size();
        if (!converter_->Append(list_.substr(run, pos_ - run), line_) ||
            !Utf8IsWritable(std::string_view(line_).substr(before))) {
          return false;
        }
        copied = pos_;
        converted = true;
      }
    }
    const std::size_t end = pos_;
    if (pos_ < list_.size()) {
      const bool crlf = list_[pos_] == '\r' && pos_ + 1 < list_.size() && list_[pos_ + 1] == '\n';
      pos_ += crlf ? 2 : 1;
    }
    if (!converted) {
      line = list_.substr(start, end - start);
      return true;
    }
    line_.append(list_.substr(copied, end - copied));
    line = line_;
    return true;
  }

 private:
  std::string_view list_;
  RunConverter* converter_;
  std::size_t pos_ = 0;
  std::string line_;
};

constexpr std::array<std::string_view, 256> kEntities = [] {
  std::array<std::string_view, 256> table{};
  table['&'] = "&amp;";
  table['<'] = "&lt;";
  table['>'] = "&gt;";
  table['"'] = "&quot;";
  table['\''] = "&apos;";
  return table;
}();

// Appends the link with & < > " ' as entities. In UTF-8 no byte of a longer
// character is ASCII, so a byte scan finds exactly the markup characters.
void AppendEscapedUtf8(std::string& out, std::string_view link) {
  std::size_t run = 0;
  for (std::size_t pos; (pos = FindMarkup(link, run)) < link.size(); run = pos + 1) {
    out.append(link.substr(run, pos - run));
    out.append(kEntities[static_cast<unsigned char>(link[pos])]);
  }
  out.append(link.substr(run));
}

std::string Header(UrlsetForm form, std::string_view root) {
  std::string header = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <";
  header += root;
  if (form == UrlsetForm::kStandard) {
    header += " xmlns=\"";
    header += SitemapNamespace;
    header += '"';
  }
  return header + ">\r\n";
}

// The entry with the date filled in, cut where the link goes.
std::vector<std::string> EntryPieces(std::string_view date_text) {
  const std::string dated = ReplaceAll(UrlEntryTemplate, DatePlaceholder, date_text);
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t at; (at = dated.find(LinkPlaceholder, start)) != std::string::npos;) {
    pieces.push_back(dated.substr(start, at - start));
    start = at + LinkPlaceholder.size();
  }
  pieces.push_back(dated.substr(start));
  return pieces;
}

class PartBuilder {
 public:
  PartBuilder(const UrlsetOptions& options, const DateTime& date, PartSink& sink,
              UrlsetResult& result)
      : options_(options),
        sink_(sink),
        result_(result),
        header_(Header(options.form, "urlset")),
        pieces_(EntryPieces(LastmodText(date, options.form))) {
    chunk_.reserve(options.chunk_bytes + (options.chunk_bytes >> 3) + 4096);
  }

  bool Add(std::string_view link) {
    if (!open_ && !Begin()) return false;
    const std::size_t mark = chunk_.size();
    AppendEntry(link);
    const std::size_t entry = chunk_.size() - mark;
    const bool fits = part_urls_ + 1 <= options_.max_urls &&
                      part_bytes_ + entry + SitemapClosing.size() <= options_.max_bytes;
    if (part_urls_ != 0 && !fits) {
      chunk_.resize(mark);
      if (!End() || !Begin()) return false;
      AppendEntry(link);
    }
    part_bytes_ += entry;
    ++part_urls_;
    ++result_.urls;
    return chunk_.size() < options_.chunk_bytes || Flush();
  }

  bool Finish() { return (open_ || Begin()) && End(); }

 private:
  void AppendEntry(std::string_view link) {
    chunk_ += pieces_[0];
    for (std::size_t i = 1; i < pieces_.size(); ++i) {
      AppendEscapedUtf8(chunk_, link);
      chunk_ += pieces_[i];
    }
  }

  bool Flush() {
    const bool ok = chunk_.empty() || sink_.Write(chunk_);
    chunk_.clear();
    return ok;
  }

  bool Begin() {
    if (!sink_.BeginPart(++result_.parts)) return false;
    open_ = true;
    part_urls_ = 0;
    part_bytes_ = header_.size();
    chunk_ += header_;
    return true;
  }

  bool End() {
    chunk_ += SitemapClosing;
    part_bytes_ += SitemapClosing.size();
    result_.most_urls = std::max(result_.most_urls, part_urls_);
    result_.most_bytes = std::max(result_.most_bytes, part_bytes_);
    open_ = false;
    return Flush() && sink_.EndPart();
  }

  const UrlsetOptions& options_;
  PartSink& sink_;
  UrlsetResult& result_;
  const std::string header_;
  const std::vector<std::string> pieces_;
  std::string chunk_;
  bool open_ = false;
  std::size_t part_urls_ = 0;
  std::size_t part_bytes_ = 0;
};

bool AllWritable(std::string_view list, RunConverter* converter) {
  LineReader reader(list, converter);
  std::string_view line;
  while (!reader.AtEnd()) {
    if (!reader.Next(line)) return false;
  }
  return true;
}

UrlsetResult StreamLines(std::string_view list, RunConverter* converter, const DateTime& date,
                         const UrlsetOptions& options, PartSink& sink) {
  UrlsetResult result;
  if (!AllWritable(list, converter)) {
    result.input_valid = false;
    return result;
  }
  PartBuilder builder(options, date, sink, result);
  LineReader reader(list, converter);
  std::string_view line;
  while (!reader.AtEnd()) {
    if (!reader.Next(line)) return result;  // the list changed under us
    if (line.empty() && options.form == UrlsetForm::kStandard) {
      ++result.skipped_empty;
      continue;
    }
    if (!builder.Add(line)) return result;
  }
  result.ok = builder.Finish();
  return result;
}

}  // namespace

bool ListIsWritable(std::string_view list, ListEncoding encoding) {
  if (encoding == ListEncoding::kUtf8) return AllWritable(list, nullptr);
  RunConverter converter(encoding);
  return AllWritable(list, &converter);
}

UrlsetResult StreamUrlset(std::string_view list, ListEncoding encoding, const DateTime& date,
                          const UrlsetOptions& options, PartSink& sink) {
  if (encoding == ListEncoding::kUtf8) return StreamUtf8Urlset(list, date, options, sink);
  RunConverter converter(encoding);
  return StreamLines(list, &converter, date, options, sink);
}

UrlsetResult StreamUtf8Urlset(std::string_view list, const DateTime& date,
                              const UrlsetOptions& options, PartSink& sink) {
  return StreamLines(list, nullptr, date, options, sink);
}

std::string LastmodText(const DateTime& date, UrlsetForm form) {
  if (form == UrlsetForm::kDeadLink) return FormatDate(date, LastmodDateFormat);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string BuildSitemapIndex(const std::vector<std::string>& locs, const DateTime& date,
                              UrlsetForm form) {
  const std::string lastmod = LastmodText(date, form);
  std::string index = Header(form, "sitemapindex");
  for (const std::string& loc : locs) {
    index += "    <sitemap>\r\n        <loc>";
    AppendEscapedUtf8(index, loc);
    index += "</loc>\r\n        <lastmod>" + lastmod + "</lastmod>\r\n    </sitemap>\r\n";
  }
  return index + "  </sitemapindex>";
}

}  // namespace lirrevo
