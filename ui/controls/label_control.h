// The count label (type Label): text that the program paints itself.
#pragma once

#include "ui/controls/control.h"

namespace lirrevo::ui {

class CaptionLabel;

class LabelControl : public Control {
 public:
  LabelControl(const ControlTemplate& entry, QWidget* parent);

 protected:
  // Caption (GBK) and the look settings are held; the widget repaints its
  // whole area after a write.
  void OnSettingChanged(int number) override;

 private:
  void ApplyLook();

  CaptionLabel* label_;
};

}  // namespace lirrevo::ui
