#include "ui/fatal_error.h"

#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <cerrno>

#include "test_home.h"
#include "ui/allocation_failure.h"

using lirrevo::ui::AllocationFailureMessage;
using lirrevo::ui::FatalErrorText;

Q_DECLARE_METATYPE(std::string)

class FatalErrorTest : public QObject {
  Q_OBJECT

 private slots:
  void Text_data() {
    QTest::addColumn<std::string>("message");
    QTest::addColumn<int>("number");
    QTest::addColumn<std::string>("text");
    // 运行时出错!  错误信息：  载入启动窗口失败  错误代码：
    const std::string head = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
    const std::string info = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
    const std::string load = "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
    const std::string code = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
    // 分配 1048576 字节内存失败!
    const std::string memory =
        "\xB7\xD6\xC5\xE4 1048576 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
    QTest::newRow("window cannot be built") << load << 0 << head + info + load + "\r\n";
    QTest::newRow("memory") << memory << 0 << head + info + memory + "\r\n";
    QTest::newRow("with a number") << load << 5 << head + code + "5\r\n\r\n" + info + load + "\r\n";
    QTest::newRow("negative number") << std::string() << -2 << head + code + "-2\r\n\r\n";
    QTest::newRow("nothing more") << std::string() << 0 << head;
  }
  void Text() {
    QFETCH(std::string, message);
    QFETCH(int, number);
    QFETCH(std::string, text);
    QCOMPARE(FatalErrorText(message, number), text);
  }

  void AllocationMessage() {
    // 分配 1048576 字节内存失败!
    QCOMPARE(
        AllocationFailureMessage(1048576),
        std::string("\xB7\xD6\xC5\xE4 1048576 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!"));
    // Sizes beyond a 32-bit int are named in full.
    QCOMPARE(AllocationFailureMessage(std::size_t{1} << 46).substr(5, 14),
             std::string("70368744177664"));
    // 分配内存失败!
    QCOMPARE(AllocationFailureMessage(0),
             std::string("\xB7\xD6\xC5\xE4\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!"));
  }

  void ProcessShowsTheBoxAndEndsWithMinusOne_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("before");  // what the probe printed before the box
    // The box shows each CR LF pair as a line break.
    const QString memory = "运行时出错!\\n\\n错误信息：分配 70368744177664 字节内存失败!\\n";
    QTest::newRow("window") << "window"
                            << "运行时出错!\\n\\n错误信息：载入启动窗口失败\\n"
                            << QStringList();
    QTest::newRow("memory") << "memory" << memory << QStringList();
    QTest::newRow("memory, web engine running") << "engine" << memory << QStringList{"page loaded"};
    // The toolkit's containers ask the C library, so the size is not known.
    const QString unknown_size = "运行时出错!\\n\\n错误信息：分配内存失败!\\n";
    QTest::newRow("memory, paste") << "paste" << unknown_size << QStringList{"pasting"};
  }
  // The probe runs in a process group of its own, which also holds the web
  // engine's helper processes: none may be left once its exit code is in.
  void ProcessShowsTheBoxAndEndsWithMinusOne() {
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QStringList, before);
    QProcess probe;
    probe.setChildProcessModifier([] { ::setsid(); });
    probe.start(QStringLiteral(FATAL_ERROR_PROBE), {mode});
    const pid_t group = static_cast<pid_t>(probe.processId());
    QVERIFY(probe.waitForFinished(30000));
    QVERIFY2(::kill(-group, 0) == -1 && errno == ESRCH, "a process of the probe is left");
    if (probe.exitCode() == 77) QSKIP("the sanitizer's runtime owns malloc");
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 255);
    const QStringList expected =
        before + QStringList{"title=错误", "text=" + text, "icon=3",   "buttons=1",    "ok=yes",
                             "owner=no",   "modal=yes",    "fits=yes", "frame=a000000"};
    QCOMPARE(out.split('\n', Qt::SkipEmptyParts), expected);
  }
};

LIRREVO_GUILESS_TEST_MAIN(FatalErrorTest)
#include "fatal_error_test.moc"
