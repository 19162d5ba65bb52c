// A list past the search engines' limits, from the click to the files: the
// question, both answers, and the parts byte for byte as lirrevo-cli --split
// writes them for the same list and date.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "dialog_steps.h"
#include "modal_script.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/event_handlers.h"

using lirrevo::ui::EditBoxName;
using lirrevo::ui::testing::EnterName;
using lirrevo::ui::testing::ModalScript;
using lirrevo::ui::testing::Press;
using lirrevo::ui::testing::TestWindow;

namespace {

const lirrevo::DateTime kDate{2024, 5, 6};

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList Names(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// `count` links, each padded to about `length` characters.
QString Links(int count, int length) {
  QString links;
  const QString pad(std::max(length - 24, 0), u'p');
  for (int i = 0; i < count; ++i) links += QStringLiteral("http://a.cn/%1/%2\n").arg(pad).arg(i);
  return links;
}

// lirrevo-cli on the same list and date, into `folder`; its exit code.
int RunCli(const QString& links, const QString& folder, const QStringList& options) {
  const QString list = folder + "/list.txt";
  QFile file(list);
  if (!file.open(QIODevice::WriteOnly) || file.write(links.toUtf8()) < 0) return -1;
  file.close();
  QProcess cli;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const QDateTime noon(QDate(kDate.year, kDate.month, kDate.day), QTime(12, 0), QTimeZone::utc());
  environment.insert("SOURCE_DATE_EPOCH", QString::number(noon.toSecsSinceEpoch()));
  cli.setProcessEnvironment(environment);
  cli.start(QStringLiteral(LIRREVO_CLI), options + QStringList{"-o", folder + "/dead.xml", list});
  if (!cli.waitForFinished(60000)) return -1;
  QFile::remove(list);
  return cli.exitCode();
}

// The window with the program's bindings, shown, and a folder for its files.
struct PartsTest {
  TestWindow test{lirrevo::ui::StartupBindings([this] { return &test.window(); })};
  QTemporaryDir folder;

  bool Ready() { return folder.isValid() && test.Show(); }
  void SetBox(const QString& text) {
    static_cast<QPlainTextEdit*>(test.Widget(EditBoxName))->setPlainText(text);
  }
  // Generates into FOLDER/dead with the answer given to the question; what the
  // question and the result box said.
  bool Generate(QMessageBox::StandardButton answer, QMessageBox* question_seen, QString* question,
                QString* result) {
    ModalScript script;
    script.On<QFileDialog>(
        [&](QFileDialog* dialog) { EnterName(dialog, folder.filePath("dead")); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      *question = box->text();
      question_seen->setIcon(box->icon());
      question_seen->setWindowTitle(box->windowTitle());
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
      QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("是"));
      QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("否"));
      Press(box, answer);
    });
    script.On<QMessageBox>([&](QMessageBox* box) {
      *result = box->text();
      Press(box, QMessageBox::Ok);
    });
    return script.Run(
        [this] { lirrevo::ui::OnGenerateClicked(test.window(), [] { return kDate; }); });
  }
};

}  // namespace

class GeneratePartsTest : public QObject {
  Q_OBJECT

 private slots:
  void PartsAsTheCommandLineCutsThem_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("files");
    const QString ask =
        "共有 %1 条链接，超过每个文件 %2的限制，搜索引擎会拒收。\n分成 %3 个文件（%4）吗？";
    QTest::newRow("past the links' limit, yes")
        << 50001 << 20 << true << ask.arg("50,001", "50,000 条", "2", "dead-1.xml、dead-2.xml")
        << QStringList{"dead-1.xml", "dead-2.xml"};
    QTest::newRow("past the bytes' limit, yes")
        << 20000 << 600 << true
        << QString(
               "共有 20,000 条链接，共 14,988,953 字节，超过每个文件 10,485,760 字节的限制，"
               "搜索引擎会拒收。\n分成 2 个文件（dead-1.xml、dead-2.xml）吗？")
        << QStringList{"dead-1.xml", "dead-2.xml"};
    QTest::newRow("four parts, yes")
        << 150001 << 20 << true
        << QString(
               "共有 150,001 条链接，共 26,139,128 字节，超过每个文件 50,000 条和 10,485,760 "
               "字节的限制，搜索引擎会拒收。\n分成 4 个文件（dead-1.xml 至 dead-4.xml）吗？")
        << QStringList{"dead-1.xml", "dead-2.xml", "dead-3.xml", "dead-4.xml"};
    QTest::newRow("past the links' limit, no")
        << 50001 << 20 << false << ask.arg("50,001", "50,000 条", "2", "dead-1.xml、dead-2.xml")
        << QStringList{"dead.xml"};
  }
  void PartsAsTheCommandLineCutsThem() {
    QFETCH(int, count);
    QFETCH(int, length);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QStringList, files);
    PartsTest window;
    QVERIFY(window.Ready());
    const QString links = Links(count, length);
    window.SetBox(links);
    QMessageBox seen;
    QString asked, result;
    QVERIFY(window.Generate(yes ? QMessageBox::Yes : QMessageBox::No, &seen, &asked, &result));
    QCOMPARE(asked, question);
    QCOMPARE(seen.windowTitle(), QStringLiteral("信息："));
    QCOMPARE(seen.icon(), QMessageBox::Question);
    const QString folder = window.folder.path();
    const QString written =
        yes ? QStringLiteral("\n已在文件夹 %1 中写入 %2 个文件。").arg(folder).arg(files.size())
            : QString();
    QCOMPARE(result, "生成成功！" + written);
    QCOMPARE(Names(folder), files);

    QTemporaryDir cli_folder;
    QVERIFY(cli_folder.isValid());
    QCOMPARE(RunCli(links, cli_folder.path(), yes ? QStringList{"--split"} : QStringList{}), 0);
    QCOMPARE(Names(cli_folder.path()), files);
    for (const QString& name : files) {
      QVERIFY2(Contents(folder + "/" + name) == Contents(cli_folder.filePath(name)),
               qPrintable(name));
    }
  }

  // A part that cannot be written leaves none of them: the name of part 2 is
  // taken by a folder.
  void APartThatFailsWritesNone() {
    PartsTest window;
    QVERIFY(window.Ready());
    QVERIFY(QDir(window.folder.path()).mkdir("dead-2.xml"));
    window.SetBox(Links(50001, 20));
    QMessageBox seen;
    QString asked, result;
    QVERIFY(window.Generate(QMessageBox::Yes, &seen, &asked, &result));
    QCOMPARE(result, QStringLiteral("失败"));
    QCOMPARE(Names(window.folder.path()), QStringList{"dead-2.xml"});
  }
};

LIRREVO_UI_TEST_MAIN(GeneratePartsTest)
#include "generate_parts_test.moc"
