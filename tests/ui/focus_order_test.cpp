#include "ui/focus_order.h"

#include <QStringList>
#include <QTest>
#include <functional>

#include "test_home.h"
#include "test_window.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::DialogName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::GroupBoxName;
using lirrevo::ui::LabelName;
using lirrevo::ui::WebPanelName;
using lirrevo::ui::testing::ObjectNames;

using lirrevo::ui::ControlTemplate;
using lirrevo::ui::FocusOrder;
using lirrevo::ui::StartupWindowTemplate;

using Change = std::function<void(std::vector<ControlTemplate>&)>;
Q_DECLARE_METATYPE(Change)

namespace {

ControlTemplate& Named(std::vector<ControlTemplate>& controls, std::string_view name) {
  for (ControlTemplate& c : controls) {
    if (c.name == name) return c;
  }
  qFatal("no control named %s", std::string(name).c_str());
}

}  // namespace

class FocusOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void Order_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("order");
    const QStringList usual = ObjectNames({EditBoxName, ButtonName, WebPanelName});
    QTest::newRow("the window as it is") << Change([](auto&) {}) << usual;
    QTest::newRow("a lower key comes first")
        << Change([](auto& c) { Named(c, ButtonName).focus_key = -1; })
        << ObjectNames({ButtonName, EditBoxName, WebPanelName});
    QTest::newRow("a higher key comes last")
        << Change([](auto& c) { Named(c, EditBoxName).focus_key = 5; })
        << ObjectNames({ButtonName, WebPanelName, EditBoxName});
    QTest::newRow("hidden is left out")
        << Change([](auto& c) { Named(c, WebPanelName).shown = false; })
        << ObjectNames({EditBoxName, ButtonName});
    QTest::newRow("disabled is left out")
        << Change([](auto& c) { Named(c, ButtonName).disabled = true; })
        << ObjectNames({EditBoxName, WebPanelName});
    QTest::newRow("no tab stop is left out")
        << Change([](auto& c) { Named(c, EditBoxName).tab_stop = false; })
        << ObjectNames({ButtonName, WebPanelName});
    QTest::newRow("a label never takes the focus")
        << Change([](auto& c) { Named(c, LabelName).tab_stop = true; }) << usual;
    QTest::newRow("nor a group box or the dialog") << Change([](auto& c) {
      Named(c, GroupBoxName).tab_stop = true;
      Named(c, DialogName).tab_stop = true;
      Named(c, DialogName).shown = true;
    }) << usual;
  }
  void Order() {
    QFETCH(Change, change);
    QFETCH(QStringList, order);
    std::vector<ControlTemplate> controls = StartupWindowTemplate().controls;
    change(controls);
    QStringList names;
    for (std::size_t i : FocusOrder(controls)) names << QString::fromStdString(controls[i].name);
    QCOMPARE(names, order);
  }
};

LIRREVO_UI_TEST_MAIN(FocusOrderTest)
#include "focus_order_test.moc"
