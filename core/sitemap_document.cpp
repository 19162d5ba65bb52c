#include "core/sitemap_document.h"

#include <array>
#include <ctime>

#include "core/gbk_character.h"
#include "core/link_list.h"
#include "core/output_encoding.h"

namespace lirrevo {
namespace {

std::string_view EntityFor(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    case '\r':
      // A parser reads a raw CR as LF: the reference keeps the link as it is.
      return "&#13;";
    default:
      return {};
  }
}

bool NeedsEscaping(std::string_view link) {
  static constexpr auto kMarkup = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : std::string_view("&<>\"'\r")) table[c] = true;
    return table;
  }();
  bool found = false;
  for (char c : link) found |= kMarkup[static_cast<unsigned char>(c)];
  return found;
}

// Calls emit(part) with the pieces of the escaped link, in order. The scan
// steps by GBK characters, so a second byte is never taken for markup.
template <typename Emit>
void ForEachEscapedPart(std::string_view link, Emit&& emit) {
  if (!NeedsEscaping(link)) {
    emit(link);
    return;
  }
  std::size_t run = 0;
  std::size_t pos = 0;
  while (pos < link.size()) {
    const std::string_view entity = EntityFor(link[pos]);
    if (entity.empty()) {
      pos += GbkCharacterLength(link, pos);
      continue;
    }
    emit(link.substr(run, pos - run));
    emit(entity);
    pos += 1;
    run = pos;
  }
  emit(link.substr(run));
}

void AppendEscaped(std::string& out, std::string_view link) {
  ForEachEscapedPart(link, [&](std::string_view part) { out += part; });
}

std::size_t EscapedLength(std::string_view link) {
  std::size_t length = 0;
  ForEachEscapedPart(link, [&](std::string_view part) { length += part.size(); });
  return length;
}

// Walks text as ReplaceAll does: gap(part) for text kept as it is, match() for
// each occurrence of pattern. Matches start only where a GBK character begins.
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
        pos += GbkCharacterLength(text, pos);
      }
    }
  }
  gap(text.substr(run));
}

// The entry with the date filled in, cut at every place where the link goes:
// filling it is then the pieces with the link between them, exactly what
// ReplaceAll gives, since ReplaceAll never rescans what it inserts.
std::vector<std::string> EntryPieces(std::string_view date_text) {
  const std::string dated = ReplaceAll(UrlEntryTemplate, DatePlaceholder, date_text);
  std::vector<std::string> pieces(1);
  ScanMatches(
      dated, LinkPlaceholder, [&](std::string_view part) { pieces.back() += part; },
      [&] { pieces.emplace_back(); });
  return pieces;
}

// The document text for the links that for_each_link(visit) hands to visit:
// sized exactly in a first pass, then written in one allocation.
template <typename ForEach>
std::string BuildText(ForEach&& for_each_link, std::string_view date_text) {
  const std::vector<std::string> pieces = EntryPieces(date_text);
  std::size_t pieces_length = 0;
  for (const std::string& piece : pieces) pieces_length += piece.size();
  const std::size_t link_slots = pieces.size() - 1;

  std::size_t total = SitemapHeader.size() + SitemapClosing.size();
  for_each_link(
      [&](std::string_view link) { total += pieces_length + link_slots * EscapedLength(link); });

  std::string document;
  document.reserve(total);
  document += SitemapHeader;
  for_each_link([&](std::string_view link) {
    document += pieces[0];
    for (std::size_t i = 1; i < pieces.size(); ++i) {
      AppendEscaped(document, link);
      document += pieces[i];
    }
  });
  document += SitemapClosing;
  return document;
}

}  // namespace

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

std::string EscapeLink(std::string_view link) {
  std::string escaped;
  escaped.reserve(EscapedLength(link));
  AppendEscaped(escaped, link);
  return escaped;
}

std::string BuildSitemapText(const std::vector<std::string>& links, std::string_view date_text) {
  return BuildText(
      [&](auto&& visit) {
        for (const std::string& link : links) visit(link);
      },
      date_text);
}

DateTime CurrentDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string BuildSitemapDocument(const ReadContentFn& read_content,
                                 const std::function<DateTime()>& now) {
  std::optional<std::string> content = read_content();
  if (!content) return {};
  const std::string date_text = FormatDate(now(), LastmodDateFormat);
  // The links are taken straight from the box's text: the same elements, in
  // the same order, as SplitLinks gives, without a copy of each.
  std::string text = BuildText([&](auto&& visit) { ForEachLink(*content, visit); }, date_text);
  content.reset();
  return EncodeDocument(text);
}

}  // namespace lirrevo
