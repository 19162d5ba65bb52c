#include "ui/controls/group_box_control.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPainter>
#include <QPalette>

#include "ui/controls/property_numbers.h"
#include "ui/controls/setting_color.h"

namespace lirrevo::ui {
namespace {

Qt::Alignment CaptionAlignment(std::int32_t value) {
  if (value == 1) return Qt::AlignHCenter;
  return value == 2 ? Qt::AlignRight : Qt::AlignLeft;
}

// A group box drawn the classic way, whatever the style: an etched frame
// around the whole rectangle whose top line runs through the middle of the
// caption, the caption on the face colour at the chosen end of that line.
// So the frame shows around a control that fills the box below the caption.
class EtchedGroupBox : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    constexpr int kCaptionInset = 8;  // from the frame's end to the caption
    constexpr int kCaptionPadding = 2;
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QRect frame(0, top, width() - 2, height() - top - 2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    if (title().isEmpty()) return;
    const int text_width = metrics.horizontalAdvance(title()) + 2 * kCaptionPadding;
    int left = kCaptionInset;
    if (alignment() & Qt::AlignHCenter) left = (width() - text_width) / 2;
    if (alignment() & Qt::AlignRight) left = width() - kCaptionInset - text_width;
    const QRect caption(left, 0, text_width, metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
  }
};

}  // namespace

GroupBoxControl::GroupBoxControl(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new EtchedGroupBox(parent)), box_(static_cast<QGroupBox*>(Widget())) {
  ShowCaption(group_box::Caption, [this](const QString& caption) { box_->setTitle(caption); });
  ApplyLook();
}

void GroupBoxControl::OnSettingChanged(int) { ApplyLook(); }

void GroupBoxControl::ApplyLook() {
  const auto& settings = Settings();
  box_->setAlignment(CaptionAlignment(IntSetting(settings, group_box::Alignment, 0)));
  QPalette palette = QApplication::palette(box_);
  const QColor face = palette.color(QPalette::Window);
  palette.setColor(QPalette::WindowText,
                   SettingColor(IntSetting(settings, group_box::TextColor, 0), face));
  palette.setColor(QPalette::Window,
                   SettingColor(IntSetting(settings, group_box::BackColor, DefaultColor), face));
  box_->setPalette(palette);
}

}  // namespace lirrevo::ui
