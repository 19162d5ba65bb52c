// The two questions the program answers without a window.
#pragma once

#include <optional>
#include <string>

namespace lirrevo::ui {

// The text that --help or --version asks for, whichever comes first among
// the arguments after the program's name; nothing when neither is there
// (the window opens, and Qt reads its own options). Decided before Qt starts,
// so that both work without a display.
std::optional<std::string> TextInsteadOfWindow(int argc, const char* const* argv);

}  // namespace lirrevo::ui
