#include "ui/panel/rich_text_view.h"

#include <QFrame>
#include <QTextBrowser>
#include <QUrl>

namespace lirrevo::ui {

RichTextView::RichTextView(QWidget* parent) : browser_(new QTextBrowser(parent)) {
  browser_->setFrameShape(QFrame::NoFrame);  // the panel draws the frame
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(false);
}

QWidget* RichTextView::Widget() const { return browser_; }

void RichTextView::Load(const QUrl& address) { browser_->setSource(address); }

std::unique_ptr<PanelView> CreatePanelView(QWidget* parent) {
  return std::make_unique<RichTextView>(parent);
}

}  // namespace lirrevo::ui
