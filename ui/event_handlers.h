// The system's handlers and the binding table that ties them to events.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/document/sitemap_document.h"
#include "ui/event_table.h"

namespace lirrevo::ui {

class MainWindow;

// The box read for building the document, straight as UTF-8: nullopt when
// it holds a character that UTF-8 has no form for, so that nothing corrupted
// is written. A character that the system's text has no code for is
// refused by the core's check.
ReadBoxUtf8Fn BoxUtf8Reader(const MainWindow& window);

// The count label follows the edit box: UpdateLinkCount over the box's own
// count, which is what splitting its content gives, and 标签_提示's caption.
void OnLinksChanged(MainWindow& window);

// The Save dialog of 通用对话框1: the confirmed path as the file system names
// it (not the system's text), or nullopt when the user did not confirm a file.
std::optional<std::string> AskOutputFile(MainWindow& window);

// The Generate command with the window's box, Save dialog and message boxes;
// a list past the search engines' limits is offered as parts. `now` dates
// the document.
void OnGenerateClicked(MainWindow& window, const std::function<DateTime()>& now = CurrentDateTime);

// The web panel starts loading the information page; nothing waits for it.
void OnWindowCreated(MainWindow& window);

// The three bound events: the window's created event (OnWindowCreated), the
// content-changed event of 编辑框1 (OnLinksChanged) and the clicked event of
// 按钮1 (OnGenerateClicked). `window` gives the window once it is built.
std::vector<EventBinding> StartupBindings(std::function<MainWindow*()> window);

}  // namespace lirrevo::ui
