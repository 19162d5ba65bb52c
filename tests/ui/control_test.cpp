#include "ui/controls/control.h"

#include <QTest>

#include "test_window.h"
#include "ui/controls/property_numbers.h"

using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
namespace property = lirrevo::ui::property;
namespace button = lirrevo::ui::button;
namespace common_dialog = lirrevo::ui::common_dialog;

Q_DECLARE_METATYPE(PropertyValue)

namespace {
PropertyValue Int(std::int32_t v) { return v; }
PropertyValue Bool(bool v) { return v; }
PropertyValue Text(const char* v) { return std::string(v); }
}  // namespace

class ControlTest : public QObject {
  Q_OBJECT

 private slots:
  void Reads_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    // Left and top count from the parent: the edit box from the group box.
    QTest::newRow("edit left") << "编辑框1" << property::Left << Int(1);
    QTest::newRow("edit top") << "编辑框1" << property::Top << Int(14);
    QTest::newRow("edit width") << "编辑框1" << property::Width << Int(522);
    QTest::newRow("panel top") << "互联网浏览器1" << property::Top << Int(-1);
    QTest::newRow("button height") << "按钮1" << property::Height << Int(32);
    QTest::newRow("tag") << "按钮1" << property::Tag << Text("");
    QTest::newRow("dialog hidden") << "通用对话框1" << property::Visible << Bool(false);
    QTest::newRow("not disabled") << "编辑框1" << property::Disabled << Bool(false);
    QTest::newRow("dialog extension")
        << "通用对话框1" << common_dialog::DefaultExtension << Text("xml");
  }
  void Reads() {
    QFETCH(QString, control);
    QFETCH(int, number);
    QFETCH(PropertyValue, value);
    TestWindow test;
    QVERIFY(test.window().GetProperty(control.toStdString(), number) == value);
  }

  void WritesShow() {
    TestWindow test;
    auto& window = test.window();
    QVERIFY(window.SetProperty("按钮1", property::Left, Int(400)));
    QVERIFY(window.SetProperty("按钮1", property::Height, Int(40)));
    QCOMPARE(test.Widget("按钮1")->geometry(), QRect(400, 437, 80, 40));
    QVERIFY(window.SetProperty("按钮1", button::Caption, Text("\xB1\xA3\xB4\xE6")));  // "保存"
    QCOMPARE(test.Widget("按钮1")->property("text").toString(), QStringLiteral("保存"));
  }

  void WrongWritesChangeNothing_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    QTest::newRow("text for left") << "按钮1" << property::Left << Text("1");
    QTest::newRow("showing the dialog") << "通用对话框1" << property::Visible << Bool(true);
    QTest::newRow("unknown number") << "按钮1" << 14 << Int(0);
    QTest::newRow("unknown control") << "按钮2" << property::Left << Int(0);
    QTest::newRow("text for a number setting") << "按钮1" << button::ButtonType << Text("1");
    QTest::newRow("caption not gbk") << "按钮1" << button::Caption << Text("\xFF\xFF");
  }
  void WrongWritesChangeNothing() {
    QFETCH(QString, control);
    QFETCH(int, number);
    QFETCH(PropertyValue, value);
    TestWindow test;
    const std::string name = control.toStdString();
    const std::optional<PropertyValue> before = test.window().GetProperty(name, number);
    QVERIFY(!test.window().SetProperty(name, number, value));
    QVERIFY(test.window().GetProperty(name, number) == before);
    QVERIFY(!test.Widget("通用对话框1")->isVisibleTo(&test.window()));
  }
};

QTEST_MAIN(ControlTest)
#include "control_test.moc"
