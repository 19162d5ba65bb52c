// The startup window built for a test, with an event table of the test's own.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/event_table.h"
#include "ui/main_window.h"
#include "ui/window_template.h"

namespace lirrevo::ui::testing {

class TestWindow {
 public:
  explicit TestWindow(std::vector<EventBinding> bindings = {},
                      const WindowTemplate& from = StartupWindowTemplate())
      : events_(std::move(bindings), [](std::string_view, int) { QFAIL("fatal error"); }),
        window_(std::make_unique<MainWindow>(events_)) {
    built_ = window_->Build(from);
  }

  bool built() const { return built_; }
  EventTable& events() { return events_; }
  MainWindow& window() { return *window_; }
  void Destroy() { window_.reset(); }

  QWidget* Widget(std::string_view name) const {
    Control* control = window_->FindControl(name);
    return control ? control->Widget() : nullptr;
  }

  // Shows the window as start-up does and waits until it is active.
  bool Show() {
    window_->ShowFirstTime();
    return QTest::qWaitForWindowActive(window_.get());
  }

 private:
  EventTable events_;
  std::unique_ptr<MainWindow> window_;
  bool built_ = false;
};

inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The controls' object names, for comparing with what the window holds.
inline QStringList ObjectNames(std::initializer_list<std::string_view> names) {
  QStringList list;
  for (std::string_view name : names) list << Utf8(name);
  return list;
}

}  // namespace lirrevo::ui::testing
