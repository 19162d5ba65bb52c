// The frame with a caption (type GroupBox) that holds the edit box.
#pragma once

#include "ui/controls/control.h"

class QGroupBox;

namespace lirrevo::ui {

class GroupBoxControl : public Control {
 public:
  GroupBoxControl(const ControlTemplate& entry, QWidget* parent);

 protected:
  void OnSettingChanged(int number) override;

 private:
  void ApplyLook();

  QGroupBox* box_;
};

}  // namespace lirrevo::ui
