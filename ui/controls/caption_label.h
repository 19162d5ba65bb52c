// A widget that fills its rectangle and draws one caption, as the count
// label does: no mnemonics, no elision.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace lirrevo::ui {

class CaptionLabel : public QWidget {
 public:
  explicit CaptionLabel(QWidget* parent);

  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }
  // `flags`: Qt::Alignment and Qt::TextFlag values for QPainter::drawText.
  void SetLook(int flags, const QColor& text, const QColor& background);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  int flags_ = 0;
  QColor text_;
  QColor background_;
};

}  // namespace lirrevo::ui
