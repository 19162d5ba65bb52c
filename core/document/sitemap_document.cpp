#include "core/document/sitemap_document.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

#include "core/document/text_character.h"
#include "core/document/text_scan.h"

namespace lirrevo {
namespace {

// A chunk grows past chunk_bytes by at most a slice of a link, escaped.
constexpr std::size_t kMaxChunkReserve = std::size_t{64} << 20;
constexpr std::size_t kSlice = std::size_t{1} << 20;

constexpr std::array<std::string_view, 256> kEntities = [] {
  std::array<std::string_view, 256> table{};
  table['&'] = "&amp;";
  table['<'] = "&lt;";
  table['>'] = "&gt;";
  table['"'] = "&quot;";
  table['\''] = "&apos;";
  // A parser reads a raw CR as LF: the reference keeps the link as it is.
  table['\r'] = "&#13;";
  return table;
}();

// Offset of the first byte at or after from that kEntities replaces, or text.size().
std::size_t FindMarkup(std::string_view text, std::size_t from) {
  return FindAnyOf<'&', '<', '>', '"', '\'', '\r'>(text, from);
}

// The size of the link once escaped.
std::size_t EscapedSize(std::string_view link) {
  std::size_t size = link.size();
  for (std::size_t pos = 0; (pos = FindMarkup(link, pos)) < link.size(); ++pos) {
    size += kEntities[static_cast<unsigned char>(link[pos])].size() - 1;
  }
  return size;
}

// Appends the link with & < > " ' turned into XML entities and CR into
// "&#13;"; every other byte is kept. No byte of a longer character, in UTF-8
// or in the system's text, is one of these, so bytes are scanned, not characters.
void AppendEscaped(std::string& out, std::string_view link) {
  std::size_t run = 0;
  for (std::size_t pos; (pos = FindMarkup(link, run)) < link.size(); run = pos + 1) {
    out.append(link.substr(run, pos - run));
    out.append(kEntities[static_cast<unsigned char>(link[pos])]);
  }
  out.append(link.substr(run));
}

// Walks text as ReplaceAll does: gap(part) for text kept as it is, match() for
// each occurrence of pattern. Matches start only where a character begins.
template <typename Gap, typename Match>
void ScanMatches(std::string_view text, std::string_view pattern, Gap&& gap, Match&& match) {
  std::size_t run = 0;
  std::size_t pos = 0;
  if (!pattern.empty()) {
    while (text.size() - pos >= pattern.size()) {
      if (text.compare(pos, pattern.size(), pattern) == 0) {
        gap(text.substr(run, pos - run));
        match();
        pos += pattern.size();
        run = pos;
      } else {
        pos += TextCharacterLength(text, pos);
      }
    }
  }
  gap(text.substr(run));
}

// The entry template with the date filled in, cut at every place where the
// link goes: filling it is then the pieces with the link between them, exactly
// what ReplaceAll gives, since ReplaceAll never rescans what it inserts.
std::vector<std::string> EntryPieces(std::string_view entry_template, std::string_view date_text) {
  const std::string dated = ReplaceAll(entry_template, DatePlaceholder, date_text);
  std::vector<std::string> pieces(1);
  ScanMatches(
      dated, LinkPlaceholder, [&](std::string_view part) { pieces.back() += part; },
      [&] { pieces.emplace_back(); });
  return pieces;
}

std::size_t SizeOf(const std::vector<std::string>& pieces) {
  std::size_t size = 0;
  for (const std::string& piece : pieces) size += piece.size();
  return size;
}

std::string Header(DocumentKind kind, UrlsetForm form) {
  std::string header(kind == DocumentKind::kUrlset ? SitemapHeader : SitemapIndexHeader);
  if (form == UrlsetForm::kStandard) {
    header.insert(header.size() - 3, " xmlns=\"" + std::string(SitemapNamespace) + "\"");
  }
  return header;
}

}  // namespace

struct DocumentBuilder::State {
  // sink: null where the documents are only counted.
  State(DocumentKind kind, const DateTime& date, const UrlsetOptions& options, PartSink* sink)
      : kind(kind),
        options(options),
        sink(sink),
        header(Header(kind, options.form)),
        closing(kind == DocumentKind::kUrlset ? SitemapClosing : SitemapIndexClosing),
        pieces(EntryPieces(
            kind == DocumentKind::kUrlset ? UrlEntryTemplate : SitemapIndexEntryTemplate,
            LastmodText(date, options.form))) {
    if (sink != nullptr) chunk.reserve(std::min(options.chunk_bytes, kMaxChunkReserve) + 4096);
  }

  std::size_t EntrySize(std::string_view loc) const {
    std::size_t size = pieces_size;
    if (pieces.size() > 1) size += (pieces.size() - 1) * EscapedSize(loc);
    return size;
  }

  // A link longer than a chunk goes on in slices, each handed on as the
  // chunk fills, so that a line of a gigabyte is never held twice.
  bool AppendEntry(std::string_view loc) {
    if (sink == nullptr) return true;
    chunk += pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) {
      for (std::size_t at = 0; at < loc.size(); at += kSlice) {
        AppendEscaped(chunk, loc.substr(at, kSlice));
        if (chunk.size() >= options.chunk_bytes && !Flush()) return false;
      }
      chunk += pieces[i];
    }
    return chunk.size() < options.chunk_bytes || Flush();
  }

  bool Flush() {
    const bool ok = chunk.empty() || sink->Write(chunk);
    chunk.clear();
    return ok;
  }

  bool Begin() {
    if (result.parts == options.max_parts) {
      result.too_many_parts = true;
      return false;
    }
    ++result.parts;
    if (sink != nullptr && !sink->BeginPart(result.parts)) return false;
    open = true;
    part_urls = 0;
    part_bytes = header.size();
    if (sink != nullptr) chunk += header;
    return true;
  }

  bool End() {
    part_bytes += closing.size();
    result.most_urls = std::max(result.most_urls, part_urls);
    result.most_bytes = std::max(result.most_bytes, part_bytes);
    result.whole_bytes = header.size() + entries_bytes + closing.size();
    open = false;
    if (sink == nullptr) return true;
    chunk += closing;
    return Flush() && sink->EndPart();
  }

  const DocumentKind kind;
  const UrlsetOptions options;
  PartSink* const sink;
  const std::string header;
  const std::string_view closing;
  const std::vector<std::string> pieces;
  const std::size_t pieces_size = SizeOf(pieces);
  std::string chunk;
  bool open = false;
  bool failed = false;
  std::size_t part_urls = 0;
  std::size_t part_bytes = 0;
  std::size_t entries_bytes = 0;  // of every part
  UrlsetResult result;
};

DocumentBuilder::DocumentBuilder(DocumentKind kind, const DateTime& date,
                                 const UrlsetOptions& options, PartSink& sink)
    : state_(std::make_unique<State>(kind, date, options, &sink)) {}

DocumentBuilder::DocumentBuilder(DocumentKind kind, const DateTime& date,
                                 const UrlsetOptions& options)
    : state_(std::make_unique<State>(kind, date, options, nullptr)) {}

DocumentBuilder::~DocumentBuilder() = default;

bool DocumentBuilder::Add(std::string_view loc) {
  State& s = *state_;
  if (s.failed) return false;
  if (loc.empty() && s.kind == DocumentKind::kUrlset && s.options.form == UrlsetForm::kStandard) {
    ++s.result.skipped_empty;
    return true;
  }
  if (!s.open && !s.Begin()) return !(s.failed = true);
  const std::size_t entry = s.EntrySize(loc);
  const bool fits = s.part_urls + 1 <= s.options.max_urls &&
                    s.part_bytes + entry + s.closing.size() <= s.options.max_bytes;
  if (s.part_urls != 0 && !fits && (!s.End() || !s.Begin())) return !(s.failed = true);
  if (!s.AppendEntry(loc)) return !(s.failed = true);
  s.part_bytes += entry;
  s.entries_bytes += entry;
  ++s.part_urls;
  ++s.result.urls;
  return true;
}

UrlsetResult DocumentBuilder::Finish() {
  State& s = *state_;
  s.result.ok = !s.failed && (s.open || s.Begin()) && s.End();
  s.failed = true;  // nothing more goes in
  return s.result;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  std::string result;
  result.reserve(text.size());
  ScanMatches(
      text, pattern, [&](std::string_view part) { result += part; },
      [&] { result += replacement; });
  return result;
}

std::string FormatDate(const DateTime& value, std::string_view format) {
  std::string text = ReplaceAll(format, "%y", std::to_string(value.year));
  text = ReplaceAll(text, "%m", std::to_string(value.month));
  return ReplaceAll(text, "%d", std::to_string(value.day));
}

std::string LastmodText(const DateTime& date, UrlsetForm form) {
  if (form == UrlsetForm::kDeadLink) return FormatDate(date, LastmodDateFormat);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

UrlsetOptions EngineLimits() {
  UrlsetOptions options;
  options.max_urls = kEngineMaxUrls;
  options.max_bytes = kEngineMaxBytes;
  return options;
}

std::size_t SmallestUrlsetSize(const DateTime& date, UrlsetForm form) {
  UrlsetOptions options;
  options.form = form;
  DocumentBuilder builder(DocumentKind::kUrlset, date, options);
  builder.Add(form == UrlsetForm::kStandard ? "x" : "");
  return builder.Finish().whole_bytes;
}

std::string BuildSitemapIndex(const std::vector<std::string>& locs, const DateTime& date,
                              UrlsetForm form) {
  StringSink sink;
  UrlsetOptions options;
  options.form = form;
  DocumentBuilder builder(DocumentKind::kIndex, date, options, sink);
  for (const std::string& loc : locs) builder.Add(loc);
  builder.Finish();
  return std::move(sink.text);
}

DateTime CurrentDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<UrlsetResult> CheckBoxUtf8(std::string_view box_utf8, LineBreaks breaks,
                                         const DateTime& date, const UrlsetOptions& options) {
  // A block of lines at a time, checked and then counted while it is still
  // in the cache.
  constexpr std::size_t kBlock = std::size_t{256} << 10;
  DocumentBuilder count(DocumentKind::kUrlset, date, options);
  for (std::size_t start = 0; start < box_utf8.size();) {
    std::size_t end = FindLineBreak(box_utf8, std::min(start + kBlock, box_utf8.size()), breaks);
    if (end < box_utf8.size()) end += box_utf8.substr(end, 2) == "\r\n" ? 2 : 1;
    const std::string_view block = box_utf8.substr(start, end - start);
    if (!DecodeUtf8List(block).Ok()) return std::nullopt;
    ForEachLine(block, breaks, [&](std::string_view line) { count.Add(line); });
    start = end;
  }
  return count.Finish();
}

UrlsetResult BuildSitemapDocument(std::string_view box_utf8, LineBreaks breaks,
                                  const DateTime& date, const UrlsetOptions& options,
                                  PartSink& sink) {
  DocumentBuilder builder(DocumentKind::kUrlset, date, options, sink);
  // After a failed write Add does nothing more.
  ForEachLine(box_utf8, breaks, [&](std::string_view line) { builder.Add(line); });
  return builder.Finish();
}

}  // namespace lirrevo
