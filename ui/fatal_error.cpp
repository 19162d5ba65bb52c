#include "ui/fatal_error.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "ui/dialogs/message_box.h"
#include "ui/panel/panel_engine.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {
namespace {

// "运行时出错!", "错误代码：", "错误信息："
constexpr std::string_view kRuntimeError = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
constexpr std::string_view kErrorCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view kErrorMessage = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
constexpr std::string_view kCrLf = "\r\n";

void ShowFatalErrorBox(const std::string& text) {
  if (QApplication::instance() == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    return;
  }
  QMessageBox box(QMessageBox::Critical, TextToDisplayText(FatalErrorTitle),
                  TextToDisplayText(text), QMessageBox::Ok, nullptr);
  FitBoxToTitle(box);
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

void ReportFatalError(std::string_view message, int error_number) {
  try {
    ShowFatalErrorBox(FatalErrorText(message, error_number));
  } catch (...) {
    // Memory may be too short even for the box; the process ends all the same.
  }
  try {
    EndHelperProcesses();
  } catch (...) {
    // Without memory to look for them, the helpers end on their own.
  }
  std::fflush(nullptr);
  std::quick_exit(-1);
}

}  // namespace lirrevo::ui
