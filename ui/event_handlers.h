// The system's handlers and the binding table that ties them to events.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/sitemap_document.h"
#include "ui/event_table.h"

namespace lirrevo::ui {

class MainWindow;

// The content of 编辑框1 in GBK with CR LF line breaks, read now; a character
// that GBK has no code for counts as one character ('?').
std::string ReadContentForCount(const MainWindow& window);

// The box read for building the document: nullopt when the box holds a
// character that GBK has no code for, so that nothing corrupted is written.
ReadContentFn ExactContentReader(const MainWindow& window);

// The count label follows the edit box: reads the content, counts its links
// and sets the caption of 标签_提示.
void OnLinksChanged(MainWindow& window);

// The three bound events: the window's created event, the content-changed
// event of 编辑框1 and the clicked event of 按钮1. Only the second has a
// handler yet. `window` gives the window once it exists.
std::vector<EventBinding> StartupBindings(std::function<MainWindow*()> window);

}  // namespace lirrevo::ui
