#include "ui/controls/control_factory.h"

#include "ui/controls/button_control.h"
#include "ui/controls/common_dialog_control.h"
#include "ui/controls/edit_box_control.h"
#include "ui/controls/group_box_control.h"
#include "ui/controls/label_control.h"
#include "ui/controls/web_panel_control.h"

namespace lirrevo::ui {
namespace {

std::unique_ptr<Control> MakeControl(const ControlTemplate& entry, QWidget* parent,
                                     RaiseEventFn raise) {
  switch (entry.type) {
    case ControlType::Label:
      return std::make_unique<LabelControl>(entry, parent);
    case ControlType::CommonDlg:
      return std::make_unique<CommonDialogControl>(entry, parent);
    case ControlType::WebBrowser:
      return std::make_unique<WebPanelControl>(entry, parent);
    case ControlType::Button:
      return std::make_unique<ButtonControl>(entry, parent, raise);
    case ControlType::EditBox:
      return std::make_unique<EditBoxControl>(entry, parent, raise);
    case ControlType::GroupBox:
      return std::make_unique<GroupBoxControl>(entry, parent);
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<Control> CreateControl(const ControlTemplate& entry, QWidget* parent,
                                       RaiseEventFn raise) {
  std::unique_ptr<Control> control = MakeControl(entry, parent, std::move(raise));
  if (control) control->ApplyLayout();
  return control;
}

}  // namespace lirrevo::ui
