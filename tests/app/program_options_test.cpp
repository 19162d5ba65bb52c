// The program answers --help and --version on standard output and ends with
// 0, with no display to open a window on.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

class ProgramOptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void AnswersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("first_line");
    const QString version = QStringLiteral("lirrevo " LIRREVO_VERSION_TEXT);
    const QString usage = QStringLiteral("Usage: lirrevo [--help | --version]");
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("--help") << QStringList{"--help"} << usage;
    QTest::newRow("-h") << QStringList{"-h"} << usage;
    QTest::newRow("after Qt's options") << QStringList{"-platform", "xcb", "--version"} << version;
  }
  void AnswersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, first_line);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      environment.remove(name);
    }
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(LIRREVO_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QCOMPARE(out.section('\n', 0, 0), first_line);
    QVERIFY(out.endsWith('\n'));
    QCOMPARE(program.readAllStandardError(), QByteArray());
  }
};

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "program_options_test.moc"
