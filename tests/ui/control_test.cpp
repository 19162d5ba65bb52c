#include "ui/control.h"

#include <QTest>

#include "test_window.h"
#include "ui/property_numbers.h"

using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
namespace property = lirrevo::ui::property;
namespace button = lirrevo::ui::button;
namespace common_dialog = lirrevo::ui::common_dialog;
namespace web_browser = lirrevo::ui::web_browser;

Q_DECLARE_METATYPE(PropertyValue)

namespace {

PropertyValue Int(std::int32_t v) { return v; }
PropertyValue Bool(bool v) { return v; }
PropertyValue Text(const char* v) { return std::string(v); }

}  // namespace

class ControlTest : public QObject {
  Q_OBJECT

 private slots:
  void CommonProperties_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    // Left and top count from the parent: the edit box from the group box.
    QTest::newRow("edit left") << "编辑框1" << property::Left << Int(1);
    QTest::newRow("edit top") << "编辑框1" << property::Top << Int(14);
    QTest::newRow("edit width") << "编辑框1" << property::Width << Int(522);
    QTest::newRow("edit height") << "编辑框1" << property::Height << Int(415);
    QTest::newRow("panel top") << "互联网浏览器1" << property::Top << Int(-1);
    QTest::newRow("label left") << "标签_提示" << property::Left << Int(80);
    QTest::newRow("button height") << "按钮1" << property::Height << Int(32);
    QTest::newRow("tag") << "按钮1" << property::Tag << Text("");
    QTest::newRow("button visible") << "按钮1" << property::Visible << Bool(true);
    QTest::newRow("dialog hidden") << "通用对话框1" << property::Visible << Bool(false);
    QTest::newRow("not disabled") << "编辑框1" << property::Disabled << Bool(false);
    QTest::newRow("pointer") << "标签_提示" << property::MousePointer << Int(0);
    QTest::newRow("dialog kind") << "通用对话框1" << common_dialog::Kind << Int(1);
    QTest::newRow("dialog extension")
        << "通用对话框1" << common_dialog::DefaultExtension << Text("xml");
    QTest::newRow("panel frame") << "互联网浏览器1" << web_browser::BorderStyle << Int(3);
    QTest::newRow("button type") << "按钮1" << button::ButtonType << Int(0);
  }
  void CommonProperties() {
    QFETCH(QString, control);
    QFETCH(int, number);
    QFETCH(PropertyValue, value);
    TestWindow test;
    QVERIFY(test.built());
    const std::optional<PropertyValue> read =
        test.window().GetProperty(control.toStdString(), number);
    QVERIFY(read.has_value());
    QVERIFY(*read == value);
  }

  void WritesMoveAndStore() {
    TestWindow test;
    auto& window = test.window();
    QVERIFY(window.SetProperty("按钮1", property::Left, Int(400)));
    QVERIFY(window.SetProperty("按钮1", property::Height, Int(40)));
    QCOMPARE(test.Widget("按钮1")->geometry(), QRect(400, 437, 80, 40));
    QVERIFY(window.SetProperty("按钮1", property::Tag, Text("t")));
    QVERIFY(window.GetProperty("按钮1", property::Tag) == Text("t"));
    QVERIFY(window.SetProperty("按钮1", property::Disabled, Bool(true)));
    QVERIFY(!test.Widget("按钮1")->isEnabled());
    QVERIFY(window.SetProperty("通用对话框1", common_dialog::FileName, Text("/tmp/a.xml")));
    QVERIFY(window.GetProperty("通用对话框1", common_dialog::FileName) == Text("/tmp/a.xml"));
  }

  void WrongWritesChangeNothing_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("value");
    QTest::newRow("text for left") << "按钮1" << property::Left << Text("1");
    QTest::newRow("number for visible") << "按钮1" << property::Visible << Int(1);
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
    const std::optional<PropertyValue> before =
        test.window().GetProperty(control.toStdString(), number);
    QVERIFY(!test.window().SetProperty(control.toStdString(), number, value));
    QVERIFY(test.window().GetProperty(control.toStdString(), number) == before);
    QVERIFY(!test.Widget("通用对话框1")->isVisibleTo(&test.window()));
  }

  void UnknownReadsGiveNothing() {
    TestWindow test;
    QVERIFY(!test.window().GetProperty("按钮2", property::Left).has_value());
    QVERIFY(!test.window().GetProperty("按钮1", 14).has_value());
    QVERIFY(!test.window().GetProperty("按钮1", -1).has_value());
  }

  void ButtonCaptionWriteShows() {
    TestWindow test;
    // "保存" in GBK
    QVERIFY(test.window().SetProperty("按钮1", button::Caption, Text("\xB1\xA3\xB4\xE6")));
    QCOMPARE(test.Widget("按钮1")->property("text").toString(), QStringLiteral("保存"));
  }
};

QTEST_MAIN(ControlTest)
#include "control_test.moc"
