#include "ui/controls/setting_color.h"

#include <QColor>
#include <QTest>

#include "test_home.h"
#include "ui/window_template.h"

using lirrevo::ui::DefaultColor;
using lirrevo::ui::SettingColor;

class SettingColorTest : public QObject {
  Q_OBJECT

 private slots:
  void Color_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("color");
    const QColor face(0xD4, 0xD0, 0xC8);
    QTest::newRow("black") << 0x000000 << QColor(0, 0, 0);
    QTest::newRow("white") << 0xFFFFFF << QColor(255, 255, 255);
    QTest::newRow("red is the low byte") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("blue is the high byte") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    QTest::newRow("default is the face colour") << int(DefaultColor) << face;
  }
  void Color() {
    QFETCH(int, value);
    QFETCH(QColor, color);
    QCOMPARE(SettingColor(value, QColor(0xD4, 0xD0, 0xC8)), color);
  }
};

LIRREVO_UI_TEST_MAIN(SettingColorTest)
#include "setting_color_test.moc"
