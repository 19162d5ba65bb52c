// The program's one window, built from a WindowTemplate, with the property
// operations through which the handlers reach its controls.
#pragma once

#include <QSize>
#include <QWidget>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/controls/control.h"
#include "ui/window_template.h"

class QCloseEvent;
class QKeyEvent;

namespace lirrevo::ui {

class EventTable;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // The window raises its own and its controls' events through `events`.
  explicit MainWindow(EventTable& events);
  ~MainWindow() override;

  // Builds the window and its controls from the template, nothing shown yet:
  // controls are created hidden in reverse control order, put into their
  // parents, stacked by control order (first listed on top), and the shown
  // ones marked shown. False when the template cannot be built (an unknown
  // parent, a name used twice, a caption that is not GBK).
  bool Build(const WindowTemplate& window);
  // Shows the window as a normal, active window with the focus on the first
  // control of the focus order.
  void ShowFirstTime();

  // The control of that name, or nullptr.
  Control* FindControl(std::string_view name) const;
  // Control::GetProperty and Control::SetProperty addressed by control name;
  // nullopt and false for an unknown control.
  std::optional<PropertyValue> GetProperty(std::string_view control, int number,
                                           bool* exact = nullptr) const;
  bool SetProperty(std::string_view control, int number, const PropertyValue& value);

 signals:
  // The window has accepted a close request and is hidden.
  void Closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool ApplyWindowSettings(const WindowTemplate& window);
  bool CreateControls(const WindowTemplate& window);
  bool PlaceInParents();
  void StackControls();
  void ShowControls();
  bool HandleKey(const QKeyEvent& event);
  void MoveFocus(int step);
  Control* FocusedControl() const;
  void FitOuterSize();

  EventTable& events_;
  std::vector<std::unique_ptr<Control>> controls_;  // in control order
  std::vector<Control*> focus_order_;               // the controls that Tab visits, in order
  std::vector<Setting> settings_;
  QSize outer_size_;
  bool fixed_frame_ = true;
  bool fitting_ = false;
  bool activated_before_ = false;
};

}  // namespace lirrevo::ui
