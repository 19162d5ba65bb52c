#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <iterator>
#include <set>

#include "ui/controls/control_factory.h"
#include "ui/controls/property_numbers.h"
#include "ui/controls/setting_color.h"
#include "ui/event_table.h"
#include "ui/focus_order.h"
#include "ui/widget_text.h"
#include "ui/window_geometry.h"
#include "ui/window_keys.h"

namespace lirrevo::ui {
namespace {

constexpr int kFixedFrame = 2;
constexpr int kCentred = 1;

Qt::WindowFlags FrameFlags(const std::vector<Setting>& settings) {
  using namespace window_setting;
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (!BoolSetting(settings, ShowInTaskbar, true)) flags = Qt::Tool | (flags & ~Qt::Window);
  if (BoolSetting(settings, ControlBox, true)) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if (BoolSetting(settings, MinButton, true)) flags |= Qt::WindowMinimizeButtonHint;
  if (BoolSetting(settings, MaxButton, false)) flags |= Qt::WindowMaximizeButtonHint;
  if (BoolSetting(settings, AlwaysOnTop, false)) flags |= Qt::WindowStaysOnTopHint;
  return flags;
}

KeyPress ToKeyPress(const QKeyEvent& event) {
  const Qt::KeyboardModifiers m = event.modifiers();
  return {event.key(), m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
          m.testFlag(Qt::AltModifier), m.testFlag(Qt::MetaModifier)};
}

}  // namespace

MainWindow::MainWindow(EventTable& events) : events_(events) { qApp->installEventFilter(this); }

MainWindow::~MainWindow() {
  events_.RaiseEvent(WindowSource, EventKind::kDestroyed);
  qApp->removeEventFilter(this);
}

bool MainWindow::Build(const WindowTemplate& window) {
  if (!ApplyWindowSettings(window) || !CreateControls(window) || !PlaceInParents()) return false;
  StackControls();
  ShowControls();
  for (std::size_t index : FocusOrder(window.controls)) {
    focus_order_.push_back(controls_[index].get());
  }
  return true;
}

void MainWindow::ShowFirstTime() {
  if (!focus_order_.empty()) focus_order_.front()->Widget()->setFocus();
  showNormal();
  activateWindow();
  raise();
}

Control* MainWindow::FindControl(std::string_view name) const {
  for (const auto& control : controls_) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

std::optional<PropertyValue> MainWindow::GetProperty(std::string_view control, int number,
                                                     bool* exact) const {
  const Control* found = FindControl(control);
  if (found == nullptr) return std::nullopt;
  return found->GetProperty(number, exact);
}

bool MainWindow::SetProperty(std::string_view control, int number, const PropertyValue& value) {
  Control* found = FindControl(control);
  return found != nullptr && found->SetProperty(number, value);
}

bool MainWindow::ApplyWindowSettings(const WindowTemplate& window) {
  using namespace window_setting;
  settings_ = window.settings;
  const std::optional<QString> caption = TextToQString(TextSetting(settings_, Caption));
  if (!caption) return false;
  setWindowTitle(*caption);
  setWindowFlags(FrameFlags(settings_));
  QPalette colors = palette();
  colors.setColor(QPalette::Window, SettingColor(IntSetting(settings_, BackColor, DefaultColor),
                                                 colors.color(QPalette::Window)));
  setPalette(colors);
  outer_size_ = QSize(window.width, window.height);
  fixed_frame_ = IntSetting(settings_, Border, kFixedFrame) == kFixedFrame;
  if (fixed_frame_)
    setFixedSize(outer_size_);
  else
    resize(outer_size_);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const bool centred = screen != nullptr && IntSetting(settings_, StartPosition, 0) == kCentred;
  move(centred ? screen->geometry().topLeft() + CentredPosition(screen->size(), outer_size_)
               : QPoint(window.left, window.top));
  return true;
}

bool MainWindow::CreateControls(const WindowTemplate& window) {
  std::set<std::string> names;
  for (auto entry = window.controls.rbegin(); entry != window.controls.rend(); ++entry) {
    if (!names.insert(entry->name).second) return false;
    auto raise = [this, name = entry->name](EventKind event) { events_.RaiseEvent(name, event); };
    std::unique_ptr<Control> control = CreateControl(*entry, this, std::move(raise));
    if (!control) return false;
    controls_.push_back(std::move(control));
  }
  std::reverse(controls_.begin(), controls_.end());
  return true;
}

bool MainWindow::PlaceInParents() {
  for (const auto& control : controls_) {
    const std::string& parent_name = control->Template().parent;
    if (parent_name.empty()) continue;
    const Control* parent = FindControl(parent_name);
    if (parent == nullptr || parent == control.get() || !parent->Template().parent.empty()) {
      return false;
    }
    // Left and top stay the numbers they were; they now count from the parent.
    control->Widget()->setParent(parent->Widget());
  }
  return true;
}

void MainWindow::StackControls() {
  // Raising from the last to the first leaves the first listed on top and
  // each later one directly below the one before it.
  for (auto control = controls_.rbegin(); control != controls_.rend(); ++control) {
    (*control)->Widget()->raise();
  }
}

void MainWindow::ShowControls() {
  for (const auto& control : controls_) {
    if (control->Template().shown && control->Showable()) control->Widget()->show();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    return HandleKey(*static_cast<QKeyEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

bool MainWindow::HandleKey(const QKeyEvent& event) {
  using namespace window_setting;
  const Control* focused = FocusedControl();
  const KeyContext context{BoolSetting(settings_, EscCloses, true),
                           BoolSetting(settings_, EnterMovesFocus, false),
                           focused != nullptr && focused->WantsKey(event.key()),
                           focused != nullptr && focused->WantsKey(Qt::Key_Escape)};
  switch (ClassifyKey(ToKeyPress(event), context)) {
    case KeyAction::kPass:
      return false;
    case KeyAction::kClose:
      close();
      return true;
    case KeyAction::kFocusNext:
      MoveFocus(1);
      return true;
    case KeyAction::kFocusPrevious:
      MoveFocus(-1);
      return true;
    case KeyAction::kSwallow:
      return true;
  }
  return false;
}

void MainWindow::MoveFocus(int step) {
  std::vector<Control*> reachable;
  std::copy_if(focus_order_.begin(), focus_order_.end(), std::back_inserter(reachable),
               [](Control* c) { return c->Widget()->isVisible() && c->Widget()->isEnabled(); });
  if (reachable.empty()) return;
  const auto n = std::ssize(reachable);
  const auto current = std::find(reachable.begin(), reachable.end(), FocusedControl());
  const auto next = current == reachable.end() ? (step > 0 ? 0 : n - 1)
                                               : (current - reachable.begin() + step + n) % n;
  reachable[static_cast<std::size_t>(next)]->Widget()->setFocus(step > 0 ? Qt::TabFocusReason
                                                                         : Qt::BacktabFocusReason);
}

Control* MainWindow::FocusedControl() const {
  // The innermost control that holds the focus widget, which may be a part of it.
  for (const QWidget* w = focusWidget(); w != nullptr && w != this; w = w->parentWidget()) {
    for (const auto& control : controls_) {
      if (control->Widget() == w) return control.get();
    }
  }
  return nullptr;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Nothing is bound to the two queries, so closing always goes ahead.
  events_.RaiseEvent(WindowSource, EventKind::kClosingQuery);
  events_.RaiseEvent(WindowSource, EventKind::kFinalClosingQuery);
  event->accept();
  emit Closed();
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    if (isActiveWindow() && !activated_before_) {
      activated_before_ = true;
      events_.RaiseEvent(WindowSource, EventKind::kFirstActivated);
    }
    events_.RaiseEvent(WindowSource,
                       isActiveWindow() ? EventKind::kActivated : EventKind::kDeactivated);
    FitOuterSize();
  } else if (event->type() == QEvent::WindowStateChange) {
    events_.RaiseEvent(WindowSource, EventKind::kResized);
  }
  QWidget::changeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  FitOuterSize();
  if (event->spontaneous()) events_.RaiseEvent(WindowSource, EventKind::kMoved);
  QWidget::moveEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  FitOuterSize();
  if (event->spontaneous()) events_.RaiseEvent(WindowSource, EventKind::kResized);
  QWidget::resizeEvent(event);
}

void MainWindow::FitOuterSize() {
  // The window system adds its frame around the client area once the window
  // is shown; the outer size is what the template fixes.
  if (fitting_ || !isVisible() || isMinimized()) return;
  const QSize frame = frameGeometry().size();
  if (frame == outer_size_) return;
  fitting_ = true;
  const QSize client = size() + (outer_size_ - frame);
  if (fixed_frame_)
    setFixedSize(client);
  else
    resize(client);
  fitting_ = false;
}

}  // namespace lirrevo::ui
