// The language of the texts that Qt itself shows (the file dialog's buttons
// and questions, the edit box's menu): Simplified Chinese, like the window.
#pragma once

class QApplication;

namespace lirrevo::ui {

// Loads Qt's Simplified Chinese texts where they are installed; without them
// Qt's own texts stay. False when they could not be loaded.
bool InstallToolkitLanguage(QApplication& app);

}  // namespace lirrevo::ui
