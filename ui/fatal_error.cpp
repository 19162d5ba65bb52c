#include "ui/fatal_error.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "ui/event_table.h"
#include "ui/gbk_text.h"

namespace lirrevo::ui {
namespace {

// "运行时出错!", "错误代码：", "错误信息：", "分配 ", " 字节内存失败!", "分配内存失败!"
constexpr std::string_view kRuntimeError = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
constexpr std::string_view kErrorCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view kErrorMessage = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
constexpr std::string_view kAllocate = "\xB7\xD6\xC5\xE4 ";
constexpr std::string_view kBytesFailed = " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
constexpr std::string_view kAllocationFailed = "\xB7\xD6\xC5\xE4\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
constexpr std::string_view kCrLf = "\r\n";

void ShowFatalErrorBox(const std::string& text) {
  if (QApplication::instance() == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    return;
  }
  QMessageBox box(QMessageBox::Critical, GbkToDisplayText(FatalErrorTitle), GbkToDisplayText(text),
                  QMessageBox::Ok, nullptr);
  box.exec();
}

}  // namespace

std::string FatalErrorText(std::string_view message, int error_number) {
  std::string text(kRuntimeError);
  text.append(kCrLf).append(kCrLf);
  if (error_number != 0) {
    text.append(kErrorCode).append(std::to_string(error_number)).append(kCrLf).append(kCrLf);
  }
  if (!message.empty()) text.append(kErrorMessage).append(message).append(kCrLf);
  return text;
}

std::string AllocationFailureMessage(std::size_t size) {
  if (size == 0) return std::string(kAllocationFailed);
  std::string message(kAllocate);
  return message.append(std::to_string(size)).append(kBytesFailed);
}

void ReportFatalError(std::string_view message, int error_number, EventTable* events) {
  if (events != nullptr) events->Suspend();
  try {
    ShowFatalErrorBox(FatalErrorText(message, error_number));
  } catch (...) {
    // Memory may be too short even for the box; the process ends all the same.
  }
  std::fflush(nullptr);
  std::quick_exit(-1);
}

}  // namespace lirrevo::ui
