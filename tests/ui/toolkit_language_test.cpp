#include "ui/toolkit_language.h"

#include <QApplication>
#include <QTest>

#include "test_home.h"

namespace {

struct QtText {
  const char* context;
  const char* source;
  const char* shown;  // once the Chinese texts are in
};

// Qt's own texts of the file dialog and of its questions.
constexpr QtText kTexts[] = {
    {"QFileDialog", "Save As", "另存为"}, {"QFileDialog", "Open", "打开"},
    {"QPlatformTheme", "&Yes", "是(&Y)"}, {"QPlatformTheme", "&No", "否(&N)"},
    {"QPlatformTheme", "Cancel", "取消"},
};

}  // namespace

class ToolkitLanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void QtTextsTurnChinese() {
    for (const QtText& text : kTexts) {
      QCOMPARE(QCoreApplication::translate(text.context, text.source), QString(text.source));
    }
    QVERIFY(lirrevo::ui::InstallToolkitLanguage(*qApp));
    for (const QtText& text : kTexts) {
      QCOMPARE(QCoreApplication::translate(text.context, text.source), QString(text.shown));
    }
  }
};

LIRREVO_UI_TEST_MAIN(ToolkitLanguageTest)
#include "toolkit_language_test.moc"
