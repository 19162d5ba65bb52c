// The web panel's view where the program is built without Qt WebEngine: the
// bundled pages in a plain rich-text view.
#pragma once

#include "ui/panel/panel_view.h"

class QTextBrowser;

namespace lirrevo::ui {

class RichTextView : public PanelView {
 public:
  explicit RichTextView(QWidget* parent);

  QWidget* Widget() const override;
  void Load(const QUrl& address) override;
  // A rich-text view runs no scripts, fetches nothing from the network and
  // opens no windows: the three settings hold already.
  void SetSilent(bool) override {}
  void SetOffline(bool) override {}
  void SetOpensNewWindows(bool) override {}

 private:
  QTextBrowser* browser_;  // owned by its parent widget
};

}  // namespace lirrevo::ui
