// The web panel (type WebBrowser): a browser view inside a frame, showing
// Lirrevo's own information page.
#pragma once

#include <QUrl>
#include <memory>
#include <string_view>

#include "ui/controls/control.h"

class QFrame;
class QObject;

namespace lirrevo::ui {

class PanelView;

// The information page, bundled in the program, so it shows without a
// network and nothing is fetched for it.
inline constexpr std::string_view InfoPageAddress = "qrc:/lirrevo/info.html";

class WebPanelControl : public Control {
 public:
  WebPanelControl(const ControlTemplate& entry, QWidget* parent);
  ~WebPanelControl() override;

  // Starts loading the address (GBK) in the panel and returns at once; the
  // page loads in the background. An address that is not GBK is ignored.
  void NavigateTo(std::string_view address);
  // The address the panel was last asked to open; empty before the first.
  const QUrl& RequestedAddress() const { return requested_; }

  QWidget* View() const;
  // Enter goes to the page (it follows the focused link); Escape does not.
  bool WantsKey(int key) const override;

 protected:
  // BorderStyle takes 0 to 5 only; the four flags are booleans.
  bool SetSetting(int number, const PropertyValue& value) override;
  void OnSettingChanged(int number) override;

 private:
  void Apply(int number);
  void Load(const QUrl& address);

  QFrame* outer_;  // the raised part of a frame; the control's widget
  QFrame* inner_;  // the sunken or plain part, holding the view
  std::unique_ptr<PanelView> view_;
  std::unique_ptr<QObject> drops_;  // watches drops on the view
  QUrl requested_;
};

}  // namespace lirrevo::ui
