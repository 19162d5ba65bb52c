// A home folder of the test's own: the tests' mains point HOME and the XDG
// folders into a temporary folder before the application starts, so that
// nothing a test runs (Qt's dialogs, the web engine, the child processes it
// starts) reads or writes the real home folder. It is removed at exit.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace lirrevo::ui::testing {

inline const QTemporaryDir& TestHome() {
  static const QTemporaryDir home;
  return home;
}

inline void UseTestHome() {
  const QByteArray home = QFile::encodeName(TestHome().path());
  qputenv("HOME", home);
  qputenv("XDG_CONFIG_HOME", home + "/.config");
  qputenv("XDG_CACHE_HOME", home + "/.cache");
  qputenv("XDG_DATA_HOME", home + "/.local/share");
}

}  // namespace lirrevo::ui::testing

// QTEST_MAIN and QTEST_GUILESS_MAIN in the test's own home.
#define LIRREVO_TEST_MAIN_IN(Application, TestObject) \
  int main(int argc, char** argv) {                   \
    lirrevo::ui::testing::UseTestHome();              \
    Application app(argc, argv);                      \
    app.setAttribute(Qt::AA_Use96Dpi, true);          \
    TestObject test;                                  \
    QTEST_SET_MAIN_SOURCE_PATH                        \
    return QTest::qExec(&test, argc, argv);           \
  }
#define LIRREVO_UI_TEST_MAIN(TestObject) LIRREVO_TEST_MAIN_IN(QApplication, TestObject)
#define LIRREVO_GUILESS_TEST_MAIN(TestObject) LIRREVO_TEST_MAIN_IN(QCoreApplication, TestObject)
