#include "ui/controls/control.h"

#include <QTest>

#include "test_home.h"
#include "test_window.h"
#include "ui/controls/property_numbers.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::DialogName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::WebPanelName;

using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
using lirrevo::ui::testing::Utf8;
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
    QTest::newRow("edit left") << Utf8(EditBoxName) << property::Left << Int(1);
    QTest::newRow("edit top") << Utf8(EditBoxName) << property::Top << Int(14);
    QTest::newRow("edit width") << Utf8(EditBoxName) << property::Width << Int(522);
    QTest::newRow("panel top") << Utf8(WebPanelName) << property::Top << Int(-1);
    QTest::newRow("button height") << Utf8(ButtonName) << property::Height << Int(32);
    QTest::newRow("tag") << Utf8(ButtonName) << property::Tag << Text("");
    QTest::newRow("dialog hidden") << Utf8(DialogName) << property::Visible << Bool(false);
    QTest::newRow("not disabled") << Utf8(EditBoxName) << property::Disabled << Bool(false);
    QTest::newRow("dialog extension")
        << Utf8(DialogName) << common_dialog::DefaultExtension << Text("xml");
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
    QVERIFY(window.SetProperty(ButtonName, property::Left, Int(400)));
    QVERIFY(window.SetProperty(ButtonName, property::Height, Int(40)));
    QCOMPARE(test.Widget(ButtonName)->geometry(), QRect(400, 437, 80, 40));
    QVERIFY(window.SetProperty(ButtonName, button::Caption, Text("\xB1\xA3\xB4\xE6")));  // "保存"
    QCOMPARE(test.Widget(ButtonName)->property("text").toString(), QStringLiteral("保存"));
  }

  void WrongWritesChangeNothing_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    QTest::newRow("text for left") << Utf8(ButtonName) << property::Left << Text("1");
    QTest::newRow("showing the dialog") << Utf8(DialogName) << property::Visible << Bool(true);
    QTest::newRow("unknown number") << Utf8(ButtonName) << 14 << Int(0);
    QTest::newRow("unknown control") << "按钮2" << property::Left << Int(0);
    QTest::newRow("text for a number setting")
        << Utf8(ButtonName) << button::ButtonType << Text("1");
    QTest::newRow("caption not gbk") << Utf8(ButtonName) << button::Caption << Text("\xFF\xFF");
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
    QVERIFY(!test.Widget(DialogName)->isVisibleTo(&test.window()));
  }
};

LIRREVO_UI_TEST_MAIN(ControlTest)
#include "control_test.moc"
