// The web panel's view on Qt WebEngine.
#pragma once

#include "ui/panel/panel_view.h"

class QWebEngineView;

namespace lirrevo::ui {

class PanelPage;
class OfflineFilter;

class WebEngineView : public PanelView {
 public:
  explicit WebEngineView(QWidget* parent);

  QWidget* Widget() const override;
  void Load(const QUrl& address) override;
  void SetSilent(bool silent) override;
  void SetOffline(bool offline) override;
  void SetOpensNewWindows(bool opens) override;

 private:
  QWebEngineView* view_;           // owned by its parent widget
  PanelPage* page_;                // owned by view_
  OfflineFilter* offline_filter_;  // owned by page_
};

}  // namespace lirrevo::ui
