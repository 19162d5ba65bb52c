#include "ui/controls/label_control.h"

#include <QApplication>
#include <QPalette>

#include "ui/controls/caption_label.h"
#include "ui/controls/property_numbers.h"
#include "ui/controls/setting_color.h"

namespace lirrevo::ui {
namespace {

int HorizontalFlag(std::int32_t align) {
  if (align == 1) return Qt::AlignHCenter;
  return align == 2 ? Qt::AlignRight : Qt::AlignLeft;
}

int VerticalFlag(std::int32_t align) {
  if (align == 1) return Qt::AlignVCenter;
  return align == 2 ? Qt::AlignBottom : Qt::AlignTop;
}

}  // namespace

LabelControl::LabelControl(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new CaptionLabel(parent)), label_(static_cast<CaptionLabel*>(Widget())) {
  ShowCaption(label::Caption, [this](const QString& caption) { label_->SetCaption(caption); });
  ApplyLook();
}

void LabelControl::OnSettingChanged(int) { ApplyLook(); }

void LabelControl::ApplyLook() {
  const auto& settings = Settings();
  const bool wrap = BoolSetting(settings, label::WordWrap, false);
  const int flags = HorizontalFlag(IntSetting(settings, label::HorizontalAlign, 0)) |
                    VerticalFlag(IntSetting(settings, label::VerticalAlign, 0)) |
                    (wrap ? Qt::TextWordWrap : Qt::TextSingleLine);
  const QColor face = QApplication::palette(label_).color(QPalette::Window);
  label_->SetLook(flags, SettingColor(IntSetting(settings, label::TextColor, 0), face),
                  SettingColor(IntSetting(settings, label::BackColor, DefaultColor), face));
}

}  // namespace lirrevo::ui
