// Fatal errors: one message box, then the process ends with exit code -1.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lirrevo::ui {

class EventTable;

// "载入启动窗口失败" and "错误" in GBK.
inline constexpr std::string_view WindowLoadFailedMessage =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
inline constexpr std::string_view FatalErrorTitle = "\xB4\xED\xCE\xF3";

// The box's text in GBK: "运行时出错!" and two CR LF pairs; then, for a
// non-zero number, "错误代码：", the number and two CR LF pairs; then, for a
// non-empty message, "错误信息：", the message and one CR LF pair.
std::string FatalErrorText(std::string_view message, int error_number);

// "分配 N 字节内存失败!" in GBK, N being the bytes asked for in decimal; where
// the size is not known (0) the sentence names no number: "分配内存失败!".
std::string AllocationFailureMessage(std::size_t size);

// Suspends the events of `events` (if given), shows the text in a modal box
// titled "错误" with the error icon, one OK button and no owner, and when it
// is closed ends the process with exit code -1.
[[noreturn]] void ReportFatalError(std::string_view message, int error_number, EventTable* events);

}  // namespace lirrevo::ui
