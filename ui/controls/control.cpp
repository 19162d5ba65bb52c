#include "ui/controls/control.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include "ui/controls/property_numbers.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {

Control::Control(const ControlTemplate& entry, QWidget* widget) : entry_(entry), widget_(widget) {}

Control::~Control() = default;

void Control::ApplyLayout() {
  widget_->setObjectName(QString::fromStdString(entry_.name));
  widget_->setGeometry(entry_.left, entry_.top, entry_.width, entry_.height);
  widget_->setEnabled(!entry_.disabled);
  const Qt::FocusPolicy focus = entry_.tab_stop ? Qt::StrongFocus : Qt::ClickFocus;
  widget_->setFocusPolicy(TakesFocus() ? focus : Qt::NoFocus);
  widget_->hide();
}

bool Control::WantsKey(int) const { return false; }

std::optional<PropertyValue> Control::GetProperty(int number, bool* exact) const {
  if (exact != nullptr) *exact = true;
  if (number < property::FirstSetting) return GetCommon(number);
  return GetSetting(number, exact);
}

bool Control::SetProperty(int number, const PropertyValue& value) {
  if (number < property::FirstSetting) return SetCommon(number, value);
  return SetSetting(number, value);
}

std::optional<PropertyValue> Control::GetCommon(int number) const {
  const QRect rect = widget_->geometry();
  switch (number) {
    case property::Left:
      return std::int32_t{rect.x()};
    case property::Top:
      return std::int32_t{rect.y()};
    case property::Width:
      return std::int32_t{rect.width()};
    case property::Height:
      return std::int32_t{rect.height()};
    case property::Tag:
      return tag_;
    case property::Visible:
      return !widget_->isHidden();
    case property::Disabled:
      return widget_->testAttribute(Qt::WA_ForceDisabled);
    case property::MousePointer:
      return mouse_pointer_;
    default:
      return std::nullopt;
  }
}

bool Control::SetCommon(int number, const PropertyValue& value) {
  if (number <= property::Height) return SetGeometry(number, value);
  const auto* integer = std::get_if<std::int32_t>(&value);
  const auto* boolean = std::get_if<bool>(&value);
  const auto* text = std::get_if<std::string>(&value);
  if (number == property::Tag && text) {
    tag_ = *text;
  } else if (number == property::Visible && boolean && (Showable() || !*boolean)) {
    widget_->setVisible(*boolean);
  } else if (number == property::Disabled && boolean) {
    widget_->setDisabled(*boolean);
  } else if (number == property::MousePointer && integer) {
    mouse_pointer_ = *integer;
  } else {
    return false;
  }
  return true;
}

bool Control::SetGeometry(int number, const PropertyValue& value) {
  const auto* integer = std::get_if<std::int32_t>(&value);
  if (integer == nullptr || number < property::Left) return false;
  QRect rect = widget_->geometry();
  if (number == property::Left) rect.moveLeft(*integer);
  if (number == property::Top) rect.moveTop(*integer);
  if (number == property::Width) rect.setWidth(*integer);
  if (number == property::Height) rect.setHeight(*integer);
  widget_->setGeometry(rect);
  return true;
}

std::optional<PropertyValue> Control::GetSetting(int number, bool*) const {
  const PropertyValue* value = FindSetting(entry_.settings, number);
  if (value == nullptr) return std::nullopt;
  return *value;
}

bool Control::SetSetting(int number, const PropertyValue& value) {
  if (number == caption_number_) {
    const std::optional<QString> caption = StoreText(number, value);
    if (caption) show_caption_(*caption);
    return caption.has_value();
  }
  if (!StoreSetting(number, value)) return false;
  OnSettingChanged(number);
  return true;
}

void Control::OnSettingChanged(int) {}

bool Control::StoreSetting(int number, const PropertyValue& value) {
  for (Setting& setting : entry_.settings) {
    if (setting.number != number) continue;
    if (setting.value.index() != value.index()) return false;
    setting.value = value;
    return true;
  }
  return false;
}

std::optional<QString> Control::StoreText(int number, const PropertyValue& value) {
  const auto* text = std::get_if<std::string>(&value);
  std::optional<QString> converted = text ? TextToQString(*text) : std::nullopt;
  if (!converted || !StoreSetting(number, value)) return std::nullopt;
  return converted;
}

void Control::ShowCaption(int number, std::function<void(const QString&)> show) {
  caption_number_ = number;
  show_caption_ = std::move(show);
  show_caption_(TextToQString(TextSetting(entry_.settings, number)).value_or(QString()));
}

}  // namespace lirrevo::ui
