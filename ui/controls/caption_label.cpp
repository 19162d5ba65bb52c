#include "ui/controls/caption_label.h"

#include <QPainter>

namespace lirrevo::ui {

CaptionLabel::CaptionLabel(QWidget* parent) : QWidget(parent) {}

void CaptionLabel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void CaptionLabel::SetLook(int flags, const QColor& text, const QColor& background) {
  flags_ = flags;
  text_ = text;
  background_ = background;
  update();
}

void CaptionLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), background_);
  painter.setPen(text_);
  painter.setFont(font());
  // Without Qt::TextShowMnemonic an ampersand is drawn as it is; text that
  // does not fit is clipped at the rectangle, so a right-aligned caption
  // loses its beginning.
  painter.drawText(rect(), flags_, caption_);
}

}  // namespace lirrevo::ui
