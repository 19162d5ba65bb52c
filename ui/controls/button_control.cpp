#include "ui/controls/button_control.h"

#include <QObject>
#include <QPushButton>

#include "ui/controls/property_numbers.h"
#include "ui/event_table.h"

namespace lirrevo::ui {

ButtonControl::ButtonControl(const ControlTemplate& entry, QWidget* parent, RaiseEventFn raise)
    : Control(entry, new QPushButton(parent)),
      button_(static_cast<QPushButton*>(Widget())),
      raise_(std::move(raise)),
      connections_(std::make_unique<QObject>()) {
  ShowCaption(button::Caption, [this](const QString& caption) { button_->setText(caption); });
  // ButtonType 0: an ordinary push button, so Enter elsewhere never presses it.
  const bool is_default = IntSetting(Settings(), button::ButtonType, 0) != 0;
  button_->setDefault(is_default);
  button_->setAutoDefault(is_default);
  QObject::connect(button_, &QPushButton::clicked, connections_.get(),
                   [this] { raise_(EventKind::kClicked); });
}

ButtonControl::~ButtonControl() = default;

}  // namespace lirrevo::ui
