// Stand-ins for the file-dialog component (CommonDlg) and the web panel
// (WebBrowser): they hold their settings and take their place in the window.
#pragma once

#include "ui/control.h"

namespace lirrevo::ui {

// The dialog component: an inert widget that is never shown, never takes the
// focus and never receives a click.
class DialogPlaceholder : public Control {
 public:
  DialogPlaceholder(const ControlTemplate& entry, QWidget* parent);
};

// The web panel's place: an empty, focusable page area at its rectangle.
class WebPanelPlaceholder : public Control {
 public:
  WebPanelPlaceholder(const ControlTemplate& entry, QWidget* parent);
};

}  // namespace lirrevo::ui
