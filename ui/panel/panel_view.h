// What the web panel shows its pages in: Qt WebEngine's view, or a plain
// rich-text view where the program is built without Qt WebEngine.
#pragma once

#include <memory>

class QUrl;
class QWidget;

namespace lirrevo::ui {

class PanelView {
 public:
  virtual ~PanelView() = default;

  // The view's widget, owned by the parent it was made with.
  virtual QWidget* Widget() const = 0;
  // Starts loading the address in the view and returns at once.
  virtual void Load(const QUrl& address) = 0;
  // Pages may not show dialogs of their own (alerts, confirmations, prompts).
  virtual void SetSilent(bool silent) = 0;
  // Nothing is fetched from the network; local pages still load.
  virtual void SetOffline(bool offline) = 0;
  // A page's request for a new window opens in this view; otherwise it gets
  // no window at all.
  virtual void SetOpensNewWindows(bool opens) = 0;
};

// The view of this build, as a child of parent.
std::unique_ptr<PanelView> CreatePanelView(QWidget* parent);

}  // namespace lirrevo::ui
