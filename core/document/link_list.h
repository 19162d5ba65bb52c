// The link list: the edit box's text cut into lines at every CR LF pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lirrevo {

// "共有链接数量：" and "  --->点击生成XML" in GBK.
inline constexpr std::string_view CountCaptionPrefix =
    "\xB9\xB2\xD3\xD0\xC1\xB4\xBD\xD3\xCA\xFD\xC1\xBF\xA3\xBA";
inline constexpr std::string_view CountCaptionSuffix = "  --->\xB5\xE3\xBB\xF7\xC9\xFA\xB3\xC9XML";

// Cuts the text (GBK or GB18030) into links at every CR LF pair that starts
// a character (a byte above 0x80 takes the byte after it along; 0x80 alone
// is a character, the euro sign, as the converter reads it). Elements keep
// every other byte; empty lines give empty elements; a trailing CR LF adds
// no element; the empty text gives no elements.
std::vector<std::string> SplitLinks(std::string_view text);

// The one rule for the link count, for every view of the text: one link per
// line break, plus one when text follows the last break (with no break, when
// the text is not empty). Capped at INT32_MAX, more lines than any box holds.
std::int32_t LinkCountOf(std::int64_t line_breaks, bool text_after_last_break);

// n in decimal with a comma between groups of three digits: "100,000".
std::string GroupThousands(std::size_t n);

// "共有链接数量：" + count in plain decimal + "  --->点击生成XML", in GBK.
std::string FormatLinkCount(std::int32_t count);

// The whole work of the edit box's content-changed handler: takes the box's
// link count now and sets the count caption to it.
void UpdateLinkCount(const std::function<std::int32_t()>& count_links,
                     const std::function<void(const std::string&)>& set_caption);

}  // namespace lirrevo
