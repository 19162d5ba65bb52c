// The Generate command's message box, and what every message box of the
// program shares.
#pragma once

#include <string>
#include <string_view>

class QMessageBox;

namespace lirrevo::ui {

// "信息：" in GBK.
inline constexpr std::string_view DefaultMessageTitle = "\xD0\xC5\xCF\xA2\xA3\xBA";

// Shows the text (GBK) in a box titled "信息：" with one OK button and no
// icon, owned by no window and modal for the whole program, and returns when
// the user has closed it.
void ShowMessage(const std::string& text);

// Asks the question (GBK) in a box titled "信息：" with the question icon and
// the buttons "是" (the default) and "否", owned by no window and modal for
// the whole program; true when "是" closed it.
bool AskQuestion(const std::string& text);

// Gives the box a title bar with only a close button and makes it at least
// as wide as its title needs. Before the box is shown.
void FitBoxToTitle(QMessageBox& box);

}  // namespace lirrevo::ui
