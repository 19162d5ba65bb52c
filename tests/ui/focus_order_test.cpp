#include "ui/focus_order.h"

#include <QStringList>
#include <QTest>
#include <functional>

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
    const QStringList usual{"编辑框1", "按钮1", "互联网浏览器1"};
    QTest::newRow("the window as it is") << Change([](auto&) {}) << usual;
    QTest::newRow("a lower key comes first")
        << Change([](auto& c) { Named(c, "按钮1").focus_key = -1; })
        << QStringList{"按钮1", "编辑框1", "互联网浏览器1"};
    QTest::newRow("a higher key comes last")
        << Change([](auto& c) { Named(c, "编辑框1").focus_key = 5; })
        << QStringList{"按钮1", "互联网浏览器1", "编辑框1"};
    QTest::newRow("hidden is left out")
        << Change([](auto& c) { Named(c, "互联网浏览器1").shown = false; })
        << QStringList{"编辑框1", "按钮1"};
    QTest::newRow("disabled is left out")
        << Change([](auto& c) { Named(c, "按钮1").disabled = true; })
        << QStringList{"编辑框1", "互联网浏览器1"};
    QTest::newRow("no tab stop is left out")
        << Change([](auto& c) { Named(c, "编辑框1").tab_stop = false; })
        << QStringList{"按钮1", "互联网浏览器1"};
    QTest::newRow("a label never takes the focus")
        << Change([](auto& c) { Named(c, "标签_提示").tab_stop = true; }) << usual;
    QTest::newRow("nor a group box or the dialog") << Change([](auto& c) {
      Named(c, "分组框1").tab_stop = true;
      Named(c, "通用对话框1").tab_stop = true;
      Named(c, "通用对话框1").shown = true;
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

QTEST_MAIN(FocusOrderTest)
#include "focus_order_test.moc"
