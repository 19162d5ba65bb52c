#include "ui/control_factory.h"

#include "ui/button_control.h"
#include "ui/edit_box_control.h"
#include "ui/group_box_control.h"
#include "ui/label_control.h"
#include "ui/placeholder_control.h"

namespace lirrevo::ui {
namespace {

std::unique_ptr<Control> MakeControl(const ControlTemplate& spec, QWidget* parent,
                                     RaiseEventFn raise) {
  switch (spec.type) {
    case ControlType::Label:
      return std::make_unique<LabelControl>(spec, parent);
    case ControlType::CommonDlg:
      return std::make_unique<DialogPlaceholder>(spec, parent);
    case ControlType::WebBrowser:
      return std::make_unique<WebPanelPlaceholder>(spec, parent);
    case ControlType::Button:
      return std::make_unique<ButtonControl>(spec, parent, raise);
    case ControlType::EditBox:
      return std::make_unique<EditBoxControl>(spec, parent, raise);
    case ControlType::GroupBox:
      return std::make_unique<GroupBoxControl>(spec, parent);
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<Control> CreateControl(const ControlTemplate& spec, QWidget* parent,
                                       RaiseEventFn raise) {
  std::unique_ptr<Control> control = MakeControl(spec, parent, std::move(raise));
  if (control) control->ApplyLayout();
  return control;
}

}  // namespace lirrevo::ui
