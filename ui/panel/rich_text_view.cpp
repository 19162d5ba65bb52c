// The web panel's view where the program is built without Qt WebEngine: the
// bundled pages in a plain rich-text view.
#include <QFrame>
#include <QTextBrowser>
#include <QUrl>

#include "ui/panel/panel_view.h"

namespace lirrevo::ui {
namespace {

class RichTextView : public PanelView {
 public:
  explicit RichTextView(QWidget* parent) : browser_(new QTextBrowser(parent)) {
    browser_->setFrameShape(QFrame::NoFrame);  // the panel draws the frame
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
  }

  QWidget* Widget() const override { return browser_; }
  void Load(const QUrl& address) override { browser_->setSource(address); }
  // A rich-text view runs no scripts, fetches nothing from the network and
  // opens no windows: the three settings hold already.
  void SetSilent(bool) override {}
  void SetOffline(bool) override {}
  void SetOpensNewWindows(bool) override {}

 private:
  QTextBrowser* browser_;  // owned by its parent widget
};

}  // namespace

std::unique_ptr<PanelView> CreatePanelView(QWidget* parent) {
  return std::make_unique<RichTextView>(parent);
}

}  // namespace lirrevo::ui
