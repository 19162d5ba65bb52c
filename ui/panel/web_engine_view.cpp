// The web panel's view on Qt WebEngine.
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "ui/panel/panel_engine.h"
#include "ui/panel/panel_view.h"

namespace lirrevo::ui {
namespace {

class PanelPage : public QWebEnginePage {
 public:
  PanelPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

  void SetSilent(bool silent) { silent_ = silent; }
  void SetOpensNewWindows(bool opens) { opens_new_windows_ = opens; }

 protected:
  QWebEnginePage* createWindow(WebWindowType) override {
    return opens_new_windows_ ? this : nullptr;
  }
  void javaScriptAlert(const QUrl& origin, const QString& text) override {
    if (!silent_) QWebEnginePage::javaScriptAlert(origin, text);
  }
  bool javaScriptConfirm(const QUrl& origin, const QString& text) override {
    return !silent_ && QWebEnginePage::javaScriptConfirm(origin, text);
  }
  bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value,
                        QString* result) override {
    return !silent_ && QWebEnginePage::javaScriptPrompt(origin, text, value, result);
  }

 private:
  bool silent_ = false;
  bool opens_new_windows_ = false;
};

// Refuses every request that would leave the machine while offline.
class OfflineFilter : public QWebEngineUrlRequestInterceptor {
 public:
  explicit OfflineFilter(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}
  void SetOffline(bool offline) { offline_ = offline; }

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    const bool network = scheme == u"http" || scheme == u"https" || scheme == u"ws" ||
                         scheme == u"wss" || scheme == u"ftp";
    if (offline_ && network) info.block(true);
  }

 private:
  bool offline_ = false;
};

class WebEngineView : public PanelView {
 public:
  explicit WebEngineView(QWidget* parent)
      : view_(new QWebEngineView(parent)),
        page_(new PanelPage(PanelProfile(), view_)),
        offline_filter_(new OfflineFilter(page_)) {
    page_->setUrlRequestInterceptor(offline_filter_);
    view_->setPage(page_);
  }

  QWidget* Widget() const override { return view_; }
  void Load(const QUrl& address) override { view_->load(address); }
  void SetSilent(bool silent) override { page_->SetSilent(silent); }
  void SetOffline(bool offline) override { offline_filter_->SetOffline(offline); }
  void SetOpensNewWindows(bool opens) override { page_->SetOpensNewWindows(opens); }

 private:
  QWebEngineView* view_;           // owned by its parent widget
  PanelPage* page_;                // owned by view_
  OfflineFilter* offline_filter_;  // owned by page_
};

}  // namespace

std::unique_ptr<PanelView> CreatePanelView(QWidget* parent) {
  return std::make_unique<WebEngineView>(parent);
}

}  // namespace lirrevo::ui
