#include "ui/window_geometry.h"

#include <QPoint>
#include <QSize>
#include <QTest>

#include "test_home.h"

using lirrevo::ui::CentredPosition;

class WindowGeometryTest : public QObject {
  Q_OBJECT

 private slots:
  void Centred_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("1024x768") << QSize(1024, 768) << QPoint(132, 132);
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QPoint(580, 288);
    QTest::newRow("odd remainder drops") << QSize(1025, 769) << QPoint(132, 132);
    QTest::newRow("exactly the window") << QSize(760, 504) << QPoint(0, 0);
    QTest::newRow("smaller screen goes negative") << QSize(640, 480) << QPoint(-60, -12);
    QTest::newRow("minus one truncates to zero") << QSize(759, 503) << QPoint(0, 0);
    QTest::newRow("minus three truncates toward zero") << QSize(757, 501) << QPoint(-1, -1);
  }
  void Centred() {
    QFETCH(QSize, screen);
    QFETCH(QPoint, position);
    QCOMPARE(CentredPosition(screen, QSize(760, 504)), position);
  }
};

LIRREVO_UI_TEST_MAIN(WindowGeometryTest)
#include "window_geometry_test.moc"
