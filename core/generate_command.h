// The Generate command: ask for a file, build the document, write it, report.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/document/sitemap_document.h"

namespace lirrevo {

// "生成成功！" and "失败" in GBK.
inline constexpr std::string_view GenerateSuccessMessage =
    "\xC9\xFA\xB3\xC9\xB3\xC9\xB9\xA6\xA3\xA1";
inline constexpr std::string_view GenerateFailureMessage = "\xCA\xA7\xB0\xDC";

// Runs the Save dialog; the chosen path (file-system bytes) or nullopt when
// the user did not confirm a file.
using AskOutputFileFn = std::function<std::optional<std::string>()>;
// Shows a modal message box with the given GBK text; returns when it is closed.
using ShowMessageFn = std::function<void(const std::string&)>;
// Asks the GBK question with the answers "是" and "否"; true for "是".
using AskQuestionFn = std::function<bool(const std::string&)>;

// Asks for the file, builds the document from the box at that moment, writes
// it and shows "生成成功！" or "失败" once. A cancelled dialog does nothing
// more; a box or document that cannot be converted shows "失败" and touches no file.
//
// A list that search engines would refuse in one file (past kEngineMaxUrls
// links or kEngineMaxBytes bytes) is, where ask_split is given, first offered
// as parts, cut between entries at those limits: "是" writes NAME-1.xml ...
// beside the chosen name (PartFileName), all of them or none, removing the
// parts numbered past them that an earlier, longer run left, and the
// message names their folder and number on a second line; "否" writes the
// one file.
void GenerateSitemapFile(const ReadBoxUtf8Fn& read_box, const AskOutputFileFn& ask_output_file,
                         const ShowMessageFn& show_message,
                         const std::function<DateTime()>& now = CurrentDateTime,
                         const AskQuestionFn& ask_split = {});

// PartsQuestion in GBK, for a list of `links` links whose one document has
// whole_bytes bytes, to be written as `parts` parts beside `path`.
std::string SplitQuestion(std::size_t links, std::size_t whole_bytes, std::size_t parts,
                          const std::string& path);

}  // namespace lirrevo
