// Makes the control object and widget for a template entry, by its type.
#pragma once

#include <memory>

#include "ui/controls/control.h"

namespace lirrevo::ui {

// The control as a hidden child of `parent` at its template rectangle;
// `raise` is how it raises its events.
std::unique_ptr<Control> CreateControl(const ControlTemplate& entry, QWidget* parent,
                                       RaiseEventFn raise);

}  // namespace lirrevo::ui
