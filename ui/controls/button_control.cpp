#include "ui/controls/button_control.h"

#include <QObject>
#include <QPushButton>

#include "ui/controls/property_numbers.h"
#include "ui/event_table.h"
#include "ui/widget_text.h"

namespace lirrevo::ui {

ButtonControl::ButtonControl(const ControlTemplate& entry, QWidget* parent, RaiseEventFn raise)
    : Control(entry, new QPushButton(parent)),
      button_(static_cast<QPushButton*>(Widget())),
      raise_(std::move(raise)),
      connections_(std::make_unique<QObject>()) {
  button_->setText(TextToQString(TextSetting(Settings(), button::Caption)).value_or(QString()));
  // ButtonType 0: an ordinary push button, so Enter elsewhere never presses it.
  const bool is_default = IntSetting(Settings(), button::ButtonType, 0) != 0;
  button_->setDefault(is_default);
  button_->setAutoDefault(is_default);
  QObject::connect(button_, &QPushButton::clicked, connections_.get(),
                   [this] { raise_(EventKind::kClicked); });
}

ButtonControl::~ButtonControl() = default;

bool ButtonControl::SetSetting(int number, const PropertyValue& value) {
  if (number != button::Caption) return Control::SetSetting(number, value);
  const std::optional<QString> caption = StoreText(number, value);
  if (!caption) return false;
  button_->setText(*caption);
  return true;
}

}  // namespace lirrevo::ui
