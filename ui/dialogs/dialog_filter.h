// The file dialog's filter list, made from the CommonDlg's Filter setting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo::ui {

// One choice of the list: the label the dialog shows and the patterns it
// matches (separated by ';'), both GBK.
struct FilterPair {
  std::string label;
  std::string patterns;

  bool operator==(const FilterPair&) const = default;
};

// The platform's filter list for a Filter text (GBK): white space at the end
// is dropped, "||" is appended unless the text already ends in two bars, and
// every bar that begins a character becomes a NUL byte (a bar that is the
// second byte of a two-byte character stays). Empty when the trimmed text is
// empty: the dialog then has no filter list.
std::string BuildFilterList(std::string_view filter);

// The pairs of a filter list, read up to its first empty entry; a label left
// without a pattern is dropped.
std::vector<FilterPair> FilterPairs(std::string_view list);

// The platform's 1-based index of the pair selected first: the setting plus
// one, a negative setting counting as 0; 0 when there is no filter list.
std::int64_t SelectedFilterIndex(bool has_list, std::int32_t initial_filter_index);

}  // namespace lirrevo::ui
