#include "ui/controls/group_box_control.h"

#include <QApplication>
#include <QGroupBox>
#include <QPalette>

#include "ui/controls/property_numbers.h"
#include "ui/controls/setting_color.h"
#include "ui/gbk_text.h"

namespace lirrevo::ui {
namespace {

Qt::Alignment CaptionAlignment(std::int32_t value) {
  if (value == 1) return Qt::AlignHCenter;
  return value == 2 ? Qt::AlignRight : Qt::AlignLeft;
}

}  // namespace

GroupBoxControl::GroupBoxControl(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new QGroupBox(parent)), box_(static_cast<QGroupBox*>(Widget())) {
  box_->setTitle(GbkToQString(TextSetting(Settings(), group_box::Caption)).value_or(QString()));
  ApplyLook();
}

bool GroupBoxControl::SetSetting(int number, const PropertyValue& value) {
  if (number != group_box::Caption) return Control::SetSetting(number, value);
  const std::optional<QString> caption = StoreText(number, value);
  if (!caption) return false;
  box_->setTitle(*caption);
  return true;
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
