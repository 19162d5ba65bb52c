#include "ui/dialogs/dialog_filter.h"

#include "core/document/text_character.h"

namespace lirrevo::ui {
namespace {

constexpr char kBar = '|';

std::string_view TrimEnd(std::string_view text) {
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// Whether the last two characters of the text are bars; a bar that is the
// second byte of a character does not count.
bool EndsInTwoBars(std::string_view text) {
  bool previous_bar = false;
  bool last_bar = false;
  for (std::size_t at = 0; at < text.size(); at += TextCharacterLength(text, at)) {
    previous_bar = last_bar;
    last_bar = text[at] == kBar;
  }
  return previous_bar && last_bar;
}

}  // namespace

std::string BuildFilterList(std::string_view filter) {
  std::string list(TrimEnd(filter));
  if (list.empty()) return list;
  if (!EndsInTwoBars(list)) list.append("||");
  for (std::size_t at = 0; at < list.size(); at += TextCharacterLength(list, at)) {
    if (list[at] == kBar) list[at] = '\0';
  }
  return list;
}

std::vector<FilterPair> FilterPairs(std::string_view list) {
  std::vector<std::string_view> entries;
  while (!list.empty()) {
    const std::size_t end = list.find('\0');
    entries.push_back(list.substr(0, end));
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  std::vector<FilterPair> pairs;
  for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
    if (entries[i].empty() || entries[i + 1].empty()) break;
    pairs.push_back({std::string(entries[i]), std::string(entries[i + 1])});
  }
  return pairs;
}

std::int64_t SelectedFilterIndex(bool has_list, std::int32_t initial_filter_index) {
  if (!has_list) return 0;
  return std::int64_t{initial_filter_index < 0 ? 0 : initial_filter_index} + 1;
}

}  // namespace lirrevo::ui
