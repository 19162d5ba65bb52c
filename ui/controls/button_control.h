// The push button (type Button).
#pragma once

#include <memory>

#include "ui/controls/control.h"

class QObject;
class QPushButton;

namespace lirrevo::ui {

class ButtonControl : public Control {
 public:
  ButtonControl(const ControlTemplate& entry, QWidget* parent, RaiseEventFn raise);
  ~ButtonControl() override;

 private:
  QPushButton* button_;
  RaiseEventFn raise_;
  std::unique_ptr<QObject> connections_;  // ends the widget's calls into this object
};

}  // namespace lirrevo::ui
