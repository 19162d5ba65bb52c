#include "ui/main_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "test_home.h"
#include "test_window.h"
#include "ui/startup.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::DialogName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::GroupBoxName;
using lirrevo::ui::LabelName;
using lirrevo::ui::WebPanelName;
using lirrevo::ui::testing::ObjectNames;

using lirrevo::ui::EventBinding;
using lirrevo::ui::EventKind;
using lirrevo::ui::MainWindow;
using lirrevo::ui::StartupWindowTemplate;
using lirrevo::ui::WindowSource;
using lirrevo::ui::WindowTemplate;
using lirrevo::ui::testing::TestWindow;
using lirrevo::ui::testing::Utf8;

using TemplateChange = std::function<void(WindowTemplate&)>;
Q_DECLARE_METATYPE(TemplateChange)

namespace {

// Binds every window event to a recorder of its name.
std::vector<EventBinding> RecordWindowEvents(QStringList& log) {
  const std::pair<EventKind, const char*> kinds[] = {
      {EventKind::kCreated, "created"},         {EventKind::kMoved, "moved"},
      {EventKind::kResized, "resized"},         {EventKind::kClosingQuery, "closing query"},
      {EventKind::kFinalClosingQuery, "final"}, {EventKind::kDestroyed, "destroyed"}};
  std::vector<EventBinding> bindings;
  for (const auto& [kind, name] : kinds) {
    bindings.push_back({"", kind, [&log, name = QString(name)] { log << name; }});
  }
  return bindings;
}

QWidget* Focused() { return QApplication::focusWidget(); }

// Notes the keys pressed on the widget that it watches.
class KeySeen : public QObject {
 public:
  QList<int> keys;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys << static_cast<QKeyEvent*>(event)->key();
    return false;
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ControlLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("client_rect");  // in the window's client coordinates
    QTest::addColumn<QString>("parent");
    QTest::addColumn<bool>("visible");
    QTest::newRow("label") << Utf8(LabelName) << QRect(80, 443, 360, 24) << "" << true;
    QTest::newRow("dialog") << Utf8(DialogName) << QRect(445, 410, 26, 26) << "" << false;
    QTest::newRow("web panel") << Utf8(WebPanelName) << QRect(532, -1, 217, 474) << "" << true;
    QTest::newRow("button") << Utf8(ButtonName) << QRect(446, 437, 80, 32) << "" << true;
    QTest::newRow("edit box") << Utf8(EditBoxName) << QRect(3, 19, 522, 415) << Utf8(GroupBoxName)
                              << true;
    QTest::newRow("group box") << Utf8(GroupBoxName) << QRect(2, 5, 525, 431) << "" << true;
  }
  void ControlLayout() {
    QFETCH(QString, name);
    QFETCH(QRect, client_rect);
    QFETCH(QString, parent);
    QFETCH(bool, visible);
    TestWindow test;
    QVERIFY(test.built());
    QVERIFY(test.Show());
    QWidget* widget = test.window().findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    const QPoint origin = widget->mapTo(&test.window(), QPoint(0, 0));
    QCOMPARE(QRect(origin, widget->size()), client_rect);
    const QWidget* expected_parent =
        parent.isEmpty() ? &test.window() : test.window().findChild<QWidget*>(parent);
    QCOMPARE(widget->parentWidget(), expected_parent);
    QCOMPARE(widget->isVisible(), visible);
  }

  // Among controls of one parent the first listed is on top; children()
  // runs from the bottom of the stack to its top.
  void StackingFollowsControlOrder() {
    TestWindow test;
    QVERIFY(test.built());
    QStringList bottom_to_top;
    for (QObject* child : test.window().children()) {
      if (test.window().FindControl(child->objectName().toStdString())) {
        bottom_to_top << child->objectName();
      }
    }
    QCOMPARE(bottom_to_top,
             ObjectNames({GroupBoxName, ButtonName, WebPanelName, DialogName, LabelName}));
  }

  // The group box's frame shows around the edit box: its top line, through
  // the caption, lies above the box (which starts at 19), and its left,
  // right and bottom lines just outside it.
  void GroupBoxFrameShowsAroundTheBox() {
    TestWindow test;
    QVERIFY(test.Show());
    const QImage image = test.window().grab().toImage();
    const QColor face = test.Widget(GroupBoxName)->palette().color(QPalette::Window);
    const auto line_at = [&](QPoint from, QPoint step, int points) {
      for (int i = 0; i < points; ++i, from += step) {
        if (image.pixelColor(from) != face) return true;
      }
      return false;
    };
    QVERIFY(line_at({300, 5}, {0, 1}, 14));   // top, between the caption and the panel
    QVERIFY(line_at({2, 200}, {0, 0}, 1));    // left
    QVERIFY(line_at({525, 200}, {1, 0}, 2));  // right
    QVERIFY(line_at({200, 434}, {0, 1}, 2));  // bottom
  }

  void WindowFrame() {
    TestWindow test;
    QVERIFY(test.built());
    QVERIFY(test.Show());
    MainWindow& window = test.window();
    // Offscreen there is no frame: the client area is the outer size.
    QCOMPARE(window.frameGeometry().size(), QSize(760, 504));
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QCOMPARE(window.frameGeometry().topLeft(),
             QPoint((screen.width() - 760) / 2, (screen.height() - 504) / 2));
    QCOMPARE(window.minimumSize(), window.maximumSize());  // not resizable
    QCOMPARE(window.windowTitle(), QStringLiteral("Lirrevo - lirrevo.example.org制作"));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  }

  void BadTemplateIsRefused_data() {
    QTest::addColumn<TemplateChange>("change");
    QTest::newRow("unknown parent")
        << TemplateChange([](WindowTemplate& t) { t.controls[4].parent = "nowhere"; });
    QTest::newRow("own parent") << TemplateChange(
        [](WindowTemplate& t) { t.controls[4].parent = t.controls[4].name; });
    QTest::newRow("name used twice")
        << TemplateChange([](WindowTemplate& t) { t.controls[0].name = t.controls[3].name; });
    QTest::newRow("caption not gbk")
        << TemplateChange([](WindowTemplate& t) { t.settings[0].value = std::string("\xFF\xFF"); });
  }
  void BadTemplateIsRefused() {
    QFETCH(TemplateChange, change);
    WindowTemplate broken = StartupWindowTemplate();
    change(broken);
    TestWindow test({}, broken);
    QVERIFY(!test.built());
    QVERIFY(!test.window().isVisible());
  }

  // The dialog component lies over the edit box but is never there for
  // the mouse: a click at its place reaches the box.
  void ClickAtTheDialogReachesTheEditBox() {
    TestWindow test;
    QVERIFY(test.Show());
    test.Widget(ButtonName)->setFocus();
    const QPoint dialog_centre(445 + 13, 410 + 13);
    QTest::mouseClick(test.window().windowHandle(), Qt::LeftButton, {}, dialog_centre);
    QTRY_COMPARE(Focused(), test.Widget(EditBoxName));
  }

  void EditBoxHasFocusWhenFirstShown() {
    TestWindow test;
    QVERIFY(test.Show());
    QCOMPARE(Focused(), test.Widget(EditBoxName));
  }

  void TabCycles_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<QString>("to");
    QTest::newRow("edit -> button") << Utf8(EditBoxName) << false << Utf8(ButtonName);
    QTest::newRow("button -> panel") << Utf8(ButtonName) << false << Utf8(WebPanelName);
    QTest::newRow("panel wraps to edit") << Utf8(WebPanelName) << false << Utf8(EditBoxName);
    QTest::newRow("edit wraps back to panel") << Utf8(EditBoxName) << true << Utf8(WebPanelName);
    QTest::newRow("panel back to button") << Utf8(WebPanelName) << true << Utf8(ButtonName);
    QTest::newRow("button back to edit") << Utf8(ButtonName) << true << Utf8(EditBoxName);
  }
  void TabCycles() {
    QFETCH(QString, from);
    QFETCH(bool, backward);
    QFETCH(QString, to);
    TestWindow test;
    QVERIFY(test.Show());
    QWidget* control = test.window().findChild<QWidget*>(from);
    control->setFocus();
    QWidget* start = Focused();
    QVERIFY(start == control || control->isAncestorOf(start));
    if (backward)
      QTest::keyClick(start, Qt::Key_Backtab, Qt::ShiftModifier);
    else
      QTest::keyClick(start, Qt::Key_Tab);
    // The web panel passes its focus on to the page inside it.
    const QWidget* target = test.window().findChild<QWidget*>(to);
    QVERIFY(Focused() == target || target->isAncestorOf(Focused()));
  }

  void EscapeCloses_data() {
    QTest::addColumn<QString>("focus");
    QTest::newRow("from the edit box") << Utf8(EditBoxName);
    QTest::newRow("from the button") << Utf8(ButtonName);
    QTest::newRow("from the web panel") << Utf8(WebPanelName);
  }
  void EscapeCloses() {
    QFETCH(QString, focus);
    QStringList log;
    TestWindow test(RecordWindowEvents(log));
    QVERIFY(test.Show());
    QSignalSpy closed(&test.window(), &MainWindow::Closed);
    QWidget* widget = test.window().findChild<QWidget*>(focus);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!test.window().isVisible());
    test.Destroy();
    QCOMPARE(log, QStringList({"closing query", "final", "destroyed"}));
  }

  void EnterAndF1OutsideTheBoxDoNothing() {
    int clicks = 0;
    TestWindow test({{std::string(ButtonName), EventKind::kClicked, [&clicks] { ++clicks; }}});
    QVERIFY(test.Show());
    QWidget* button = test.Widget(ButtonName);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(button, Qt::Key_F1);
    QCOMPARE(clicks, 0);
    QCOMPARE(Focused(), button);
    QVERIFY(test.window().isVisible());
    QTest::keyClick(button, Qt::Key_Space);  // the button itself still works
    QCOMPARE(clicks, 1);
  }

  // The panel asks for Enter, the main and the keypad key alike: both reach
  // the page. (On the button both do nothing, as tested above.)
  void BothEnterKeysReachThePanel() {
    TestWindow test;
    QVERIFY(test.Show());
    test.Widget(WebPanelName)->setFocus();
    KeySeen seen;
    Focused()->installEventFilter(&seen);
    QTest::keyPress(Focused(), Qt::Key_Return);
    QTest::keyPress(Focused(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(seen.keys, QList<int>({Qt::Key_Return, Qt::Key_Enter}));
  }

  void FocusComesBackOnReactivation() {
    TestWindow test;
    QVERIFY(test.Show());
    QWidget* button = test.Widget(ButtonName);
    button->setFocus();
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    test.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&test.window()));
    QCOMPARE(Focused(), button);
  }

  // Created runs while every control exists and the window is hidden; moved
  // and resized follow; then the window shows.
  void StartUpRaisesCreatedBeforeShowing() {
    QStringList log;
    std::vector<EventBinding> bindings = RecordWindowEvents(log);
    bindings[0].handler = [&log] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<MainWindow*>(w);
        if (window && window->FindControl(EditBoxName))
          log << (w->isVisible() ? "shown" : "hidden");
      }
      log << "created";
    };
    lirrevo::ui::EventTable events(std::move(bindings));
    std::unique_ptr<MainWindow> window =
        lirrevo::ui::LoadStartupWindow(StartupWindowTemplate(), events);
    QVERIFY(window->isVisible());
    QCOMPARE(log.mid(0, 4), QStringList({"hidden", "created", "moved", "resized"}));
  }
};

LIRREVO_UI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
