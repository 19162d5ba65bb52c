#include "ui/controls/web_panel_control.h"

#include <QDeadlineTimer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFrame>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "test_home.h"
#include "test_window.h"
#include "ui/controls/property_numbers.h"
#include "ui/event_handlers.h"
#include "ui/startup.h"
#include "ui/window_template.h"

using lirrevo::ui::WebPanelName;

#if LIRREVO_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "ui/panel/panel_engine.h"
#else
#include <QTextBrowser>
#endif

using lirrevo::ui::MainWindow;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::WebPanelControl;
using lirrevo::ui::testing::TestWindow;
namespace web_browser = lirrevo::ui::web_browser;

Q_DECLARE_METATYPE(PropertyValue)

namespace {

const QUrl kInfoPage(QString::fromLatin1(lirrevo::ui::InfoPageAddress.data(),
                                         lirrevo::ui::InfoPageAddress.size()));

WebPanelControl& Panel(MainWindow& window) {
  return dynamic_cast<WebPanelControl&>(*window.FindControl(WebPanelName));
}

// The innermost widget of the view, where the mouse and drops arrive.
QWidget* DropTarget(WebPanelControl& panel) {
  QWidget* target = panel.View();
  while (target->focusProxy() != nullptr) target = target->focusProxy();
#if !LIRREVO_WEBENGINE
  target = static_cast<QTextBrowser*>(panel.View())->viewport();
#endif
  return target;
}

// Sends a drop of the link onto the view; whether the drop was taken.
bool DropLink(WebPanelControl& panel, const QUrl& link) {
  QMimeData mime;
  mime.setUrls({link});
  QWidget* target = DropTarget(panel);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

// Runs the event loop until `done` holds or the time is up; whether it
// holds. Unlike QTest::qWait it never sleeps between events, which would
// slow the web engine's many small tasks down to a crawl.
bool Spin(const std::function<bool()>& done, int timeout_ms = 10000) {
  QDeadlineTimer deadline(timeout_ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

QUrl LocalPage(const QTemporaryDir& folder, const QString& name, const QByteArray& body) {
  QFile file(folder.filePath(name));
  if (!file.open(QIODevice::WriteOnly)) return {};
  file.write("<html><body><p>" + body + "</p></body></html>");
  return QUrl::fromLocalFile(file.fileName());
}

#if LIRREVO_WEBENGINE
QWebEnginePage* Page(WebPanelControl& panel) {
  return static_cast<QWebEngineView*>(panel.View())->page();
}

// Whether the view comes to show the address, loaded.
bool Shows(WebPanelControl& panel, const QUrl& address) {
  QWebEnginePage* page = Page(panel);
  return Spin([&] { return page->url() == address && !page->isLoading(); });
}

QString PageText(WebPanelControl& panel) {
  QString text;
  bool done = false;
  Page(panel)->toPlainText([&](const QString& result) {
    text = result;
    done = true;
  });
  if (!Spin([&] { return done; })) return QStringLiteral("(no text)");
  return text;
}

// Notes every request that leaves the page.
class RequestLog : public QWebEngineUrlRequestInterceptor {
 public:
  void interceptRequest(QWebEngineUrlRequestInfo& info) override { urls << info.requestUrl(); }
  QList<QUrl> urls;
};
#else
bool Shows(WebPanelControl& panel, const QUrl& address) {
  return static_cast<QTextBrowser*>(panel.View())->source() == address;
}

QString PageText(WebPanelControl& panel) {
  return static_cast<QTextBrowser*>(panel.View())->toPlainText();
}
#endif

}  // namespace

class WebPanelControlTest : public QObject {
  Q_OBJECT

 private slots:
  void FrameStyles_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("raised");  // width of the raised frame
    QTest::addColumn<int>("edge");    // width of the sunken edge or single line
    QTest::addColumn<int>("shadow");  // of the edge
    QTest::newRow("0 none") << 0 << 0 << 0 << int(QFrame::Plain);
    QTest::newRow("1 sunken edge") << 1 << 0 << 2 << int(QFrame::Sunken);
    QTest::newRow("2 raised frame") << 2 << 2 << 0 << int(QFrame::Plain);
    QTest::newRow("3 thin sunken edge") << 3 << 0 << 1 << int(QFrame::Sunken);
    QTest::newRow("4 both") << 4 << 2 << 2 << int(QFrame::Sunken);
    QTest::newRow("5 single line") << 5 << 0 << 1 << int(QFrame::Plain);
  }
  void FrameStyles() {
    QFETCH(int, style);
    QFETCH(int, raised);
    QFETCH(int, edge);
    QFETCH(int, shadow);
    TestWindow test;
    QVERIFY(test.Show());
    QVERIFY(test.window().SetProperty(WebPanelName, web_browser::BorderStyle, style));
    WebPanelControl& panel = Panel(test.window());
    auto* outer = static_cast<QFrame*>(panel.Widget());
    auto* inner = qobject_cast<QFrame*>(panel.View()->parentWidget());
    QVERIFY(inner != nullptr);
    QCOMPARE(outer->frameWidth(), raised);
    QCOMPARE(inner->frameWidth(), edge);
    if (raised > 0) QCOMPARE(outer->frameShadow(), QFrame::Raised);
    if (edge > 0) QCOMPARE(int(inner->frameShadow()), shadow);
    // The view fills the area inside the frame.
    const int border = raised + edge;
    QTRY_COMPARE(QRect(panel.View()->mapTo(outer, QPoint(0, 0)), panel.View()->size()),
                 QRect(border, border, 217 - 2 * border, 474 - 2 * border));
    QVERIFY(test.window().GetProperty(WebPanelName, web_browser::BorderStyle) ==
            PropertyValue(style));
  }

  void OtherFrameStylesRefused_data() {
    QTest::addColumn<PropertyValue>("value");
    QTest::newRow("-1") << PropertyValue(-1);
    QTest::newRow("6") << PropertyValue(6);
    QTest::newRow("boolean") << PropertyValue(true);
  }
  void OtherFrameStylesRefused() {
    QFETCH(PropertyValue, value);
    TestWindow test;
    QVERIFY(!test.window().SetProperty(WebPanelName, web_browser::BorderStyle, value));
    QVERIFY(test.window().GetProperty(WebPanelName, web_browser::BorderStyle) == PropertyValue(3));
    QCOMPARE(static_cast<QFrame*>(Panel(test.window()).View()->parentWidget())->frameWidth(), 1);
  }

  void SettingsAsCreated_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    QTest::newRow("border style") << web_browser::BorderStyle << PropertyValue(3);
    QTest::newRow("silent") << web_browser::Silent << PropertyValue(false);
    QTest::newRow("offline") << web_browser::Offline << PropertyValue(false);
    QTest::newRow("drop target") << web_browser::RegisterAsDropTarget << PropertyValue(true);
    QTest::newRow("browser") << web_browser::RegisterAsBrowser << PropertyValue(false);
  }
  void SettingsAsCreated() {
    QFETCH(int, number);
    QFETCH(PropertyValue, value);
    TestWindow test;
    QVERIFY(test.window().GetProperty(WebPanelName, number) == value);
  }

  // Start-up: the created event starts one navigation, to the information
  // page, while the window is still hidden; the page then loads.
  void OneNavigationToTheInfoPageBeforeShowing() {
    MainWindow* window = nullptr;
    std::vector<lirrevo::ui::EventBinding> bindings =
        lirrevo::ui::StartupBindings([&window] { return window; });
    QStringList log;
    const auto created = bindings[0].handler;
    bindings[0].handler = [&] {
      created();
      log << (window->isVisible() ? "shown" : "hidden")
          << Panel(*window).RequestedAddress().toString();
    };
    lirrevo::ui::EventTable events(std::move(bindings));
    std::unique_ptr<QSignalSpy> starts;
    auto shown = lirrevo::ui::LoadStartupWindow(
        lirrevo::ui::StartupWindowTemplate(), events, [&](MainWindow& built) {
          window = &built;
#if LIRREVO_WEBENGINE
          starts = std::make_unique<QSignalSpy>(Page(Panel(built)), &QWebEnginePage::loadStarted);
#else
          starts = std::make_unique<QSignalSpy>(static_cast<QTextBrowser*>(Panel(built).View()),
                                                &QTextBrowser::sourceChanged);
#endif
        });
    QCOMPARE(log, QStringList({"hidden", kInfoPage.toString()}));
    QVERIFY(shown->isVisible());
    QVERIFY(Shows(Panel(*shown), kInfoPage));
    Spin([] { return false; }, 300);
    QCOMPARE(starts->count(), 1);
  }

  void InfoPageTellsHowToUseTheTool() {
    TestWindow test;
    WebPanelControl& panel = Panel(test.window());
    lirrevo::ui::OnWindowCreated(test.window());
    QVERIFY(Shows(panel, kInfoPage));
    const QString text = PageText(panel);
    for (const char* part : {"死链", "一行一条", "2015-2-12", "&amp;", "&lt;", "&gt;", "&quot;",
                             "&apos;", "空行也算一条", "不再增加条目"}) {
      QVERIFY2(text.contains(QString::fromUtf8(part)), part);
    }
  }

  void DroppedLinks_data() {
    QTest::addColumn<bool>("drop_target");
    QTest::newRow("opened in the panel") << true;
    QTest::newRow("refused when not a drop target") << false;
  }
  void DroppedLinks() {
    QFETCH(bool, drop_target);
    QTemporaryDir folder;
    TestWindow test;
    QVERIFY(test.Show());
    QVERIFY(
        test.window().SetProperty(WebPanelName, web_browser::RegisterAsDropTarget, drop_target));
    WebPanelControl& panel = Panel(test.window());
    const QUrl page = LocalPage(folder, "dropped.html", "dropped");
    QCOMPARE(DropLink(panel, page), drop_target);
    if (!drop_target) {
      QCOMPARE(panel.RequestedAddress(), QUrl());
      return;
    }
    QCOMPARE(panel.RequestedAddress(), page);
    QVERIFY(Shows(panel, page));
    QVERIFY(PageText(panel).contains("dropped"));
  }

#if LIRREVO_WEBENGINE
  void InfoPageFetchesNothingFromTheNetwork() {
    RequestLog log;
    lirrevo::ui::PanelProfile()->setUrlRequestInterceptor(&log);
    TestWindow test;
    lirrevo::ui::OnWindowCreated(test.window());
    QVERIFY(Shows(Panel(test.window()), kInfoPage));
    lirrevo::ui::PanelProfile()->setUrlRequestInterceptor(nullptr);
    QVERIFY(!log.urls.isEmpty());
    for (const QUrl& url : log.urls) QCOMPARE(url.scheme(), QStringLiteral("qrc"));
  }

  void NewWindowRequests_data() {
    QTest::addColumn<bool>("as_browser");
    QTest::newRow("no window of ours") << false;
    QTest::newRow("registered as a browser: in the panel") << true;
  }
  void NewWindowRequests() {
    QFETCH(bool, as_browser);
    QTemporaryDir folder;
    const QUrl first = LocalPage(folder, "a.html", "a");
    const QUrl opened = LocalPage(folder, "b.html", "b");
    TestWindow test;
    QVERIFY(test.Show());
    QVERIFY(test.window().SetProperty(WebPanelName, web_browser::RegisterAsBrowser, as_browser));
    WebPanelControl& panel = Panel(test.window());
    panel.NavigateTo(first.toString().toStdString());
    QVERIFY(Shows(panel, first));
    const qsizetype windows = QApplication::topLevelWidgets().size();
    QSignalSpy starts(Page(panel), &QWebEnginePage::loadStarted);
    Page(panel)->runJavaScript(QStringLiteral("window.open('b.html', '_blank')"));
    if (as_browser) {
      QVERIFY(Shows(panel, opened));
    } else {
      Spin([] { return false; }, 1000);
      QCOMPARE(starts.count(), 0);
      QCOMPARE(Page(panel)->url(), first);
    }
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
  }
#endif
};

LIRREVO_UI_TEST_MAIN(WebPanelControlTest)
#include "web_panel_control_test.moc"
