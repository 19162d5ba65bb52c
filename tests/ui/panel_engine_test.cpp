#include "ui/panel/panel_engine.h"

#include <QTest>
#include <string>

Q_DECLARE_METATYPE(std::string)

class PanelEngineTest : public QObject {
  Q_OBJECT

 private slots:
  void NoSandboxOnlyAsRoot_data() {
    QTest::addColumn<std::string>("flags");
    QTest::addColumn<bool>("as_root");
    QTest::addColumn<std::string>("result");
    QTest::newRow("root, no flags") << std::string() << true << std::string("--no-sandbox");
    QTest::newRow("root, other flags")
        << std::string("--disable-gpu") << true << std::string("--disable-gpu --no-sandbox");
    QTest::newRow("root, already there")
        << std::string("--no-sandbox --x") << true << std::string("--no-sandbox --x");
    QTest::newRow("root, a longer flag is another flag")
        << std::string("--no-sandbox-x") << true << std::string("--no-sandbox-x --no-sandbox");
    QTest::newRow("user, no flags") << std::string() << false << std::string();
    QTest::newRow("user, flags kept")
        << std::string("--disable-gpu") << false << std::string("--disable-gpu");
  }
  void NoSandboxOnlyAsRoot() {
    QFETCH(std::string, flags);
    QFETCH(bool, as_root);
    QFETCH(std::string, result);
    QCOMPARE(lirrevo::ui::EngineFlags(flags, as_root), result);
  }
};

QTEST_APPLESS_MAIN(PanelEngineTest)
#include "panel_engine_test.moc"
