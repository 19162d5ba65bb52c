// Fatal errors: one message box, then the process ends with exit code -1.
#pragma once

#include <string>
#include <string_view>

namespace lirrevo::ui {

// "载入启动窗口失败" and "错误" in GBK.
inline constexpr std::string_view WindowLoadFailedMessage =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
inline constexpr std::string_view FatalErrorTitle = "\xB4\xED\xCE\xF3";

// The box's text in GBK: "运行时出错!" and two CR LF pairs; then, for a
// non-zero number, "错误代码：", the number and two CR LF pairs; then, for a
// non-empty message, "错误信息：", the message and one CR LF pair.
std::string FatalErrorText(std::string_view message, int error_number);

// Shows the text in a modal box titled "错误" with the error icon, one OK
// button and no owner, and when it is closed ends the process with exit code
// -1. The caller suspends the events first, so that no handler runs meanwhile.
[[noreturn]] void ReportFatalError(std::string_view message, int error_number);

}  // namespace lirrevo::ui
