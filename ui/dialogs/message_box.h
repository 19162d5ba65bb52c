// The Generate command's message box.
#pragma once

#include <string>
#include <string_view>

namespace lirrevo::ui {

// "信息：" in GBK.
inline constexpr std::string_view DefaultMessageTitle = "\xD0\xC5\xCF\xA2\xA3\xBA";

// Shows the text (GBK) in a box titled "信息：" with one OK button and no
// icon, owned by no window and modal for the whole program, and returns when
// the user has closed it.
void ShowMessage(const std::string& text);

}  // namespace lirrevo::ui
