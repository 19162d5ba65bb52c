#include "ui/panel/web_engine_view.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "ui/panel/panel_engine.h"

namespace lirrevo::ui {

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

WebEngineView::WebEngineView(QWidget* parent)
    : view_(new QWebEngineView(parent)),
      page_(new PanelPage(PanelProfile(), view_)),
      offline_filter_(new OfflineFilter(page_)) {
  page_->setUrlRequestInterceptor(offline_filter_);
  view_->setPage(page_);
}

QWidget* WebEngineView::Widget() const { return view_; }

void WebEngineView::Load(const QUrl& address) { view_->load(address); }

void WebEngineView::SetSilent(bool silent) { page_->SetSilent(silent); }

void WebEngineView::SetOffline(bool offline) { offline_filter_->SetOffline(offline); }

void WebEngineView::SetOpensNewWindows(bool opens) { page_->SetOpensNewWindows(opens); }

std::unique_ptr<PanelView> CreatePanelView(QWidget* parent) {
  return std::make_unique<WebEngineView>(parent);
}

}  // namespace lirrevo::ui
