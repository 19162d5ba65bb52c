#include "ui/event_handlers.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>

#include "core/link_list.h"
#include "test_window.h"
#include "ui/property_numbers.h"

using lirrevo::ui::EventBinding;
using lirrevo::ui::EventKind;
using lirrevo::ui::MainWindow;
using lirrevo::ui::OnLinksChanged;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;

namespace {

// The startup window with OnLinksChanged bound, counting its runs.
class CountTest {
 public:
  CountTest()
      : test_({{"编辑框1", EventKind::kContentChanged, [this] {
                  ++runs_;
                  OnLinksChanged(test_.window());
                }}}) {}

  bool Show() { return test_.Show(); }
  QWidget* Edit() { return test_.Widget("编辑框1"); }
  MainWindow& window() { return test_.window(); }
  int runs() const { return runs_; }

  // Types the text key by key: each CR LF pair as Enter, a character beyond
  // Latin-1 as a key event carrying its text.
  void Type(const QString& text) {
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(Edit(), Qt::Key_Return);
      for (qsizetype j = 0; j < lines[i].size(); ++j) {
        const qsizetype units = lines[i][j].isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, Edit(), Qt::Key_unknown, lines[i].mid(j, units),
                            Qt::NoModifier);
        j += units - 1;
      }
    }
  }
  void Paste(const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(Edit(), Qt::Key_V, Qt::ControlModifier);
  }
  std::string Caption() {
    const std::optional<PropertyValue> value =
        test_.window().GetProperty("标签_提示", lirrevo::ui::label::Caption);
    return value ? std::get<std::string>(*value) : "(none)";
  }

 private:
  int runs_ = 0;
  TestWindow test_;
};

void CountRows() {
  QTest::addColumn<QString>("content");
  QTest::addColumn<int>("count");
  QTest::newRow("empty") << "" << 0;
  QTest::newRow("L1") << "http://a/1" << 1;
  QTest::newRow("L1 CRLF L2") << "http://a/1\r\nhttp://a/2" << 2;
  QTest::newRow("L1 CRLF L2 CRLF") << "http://a/1\r\nhttp://a/2\r\n" << 2;
  QTest::newRow("CRLF") << "\r\n" << 1;
  QTest::newRow("CRLF CRLF") << "\r\n\r\n" << 2;
  QTest::newRow("CRLF L1") << "\r\nhttp://a/1" << 2;
  QTest::newRow("L1 CRLF CRLF L2") << "http://a/1\r\n\r\nhttp://a/2" << 3;
  QTest::newRow("L1 CRLF CRLF") << "http://a/1\r\n\r\n" << 2;
  QTest::newRow("spaces count") << "   \r\nnot an address" << 2;
  QTest::newRow("chinese lines") << "死链一\r\n死链二\r\n死链三" << 3;
  QTest::newRow("outside gbk counts once") << "a\U0001F600\r\nb" << 2;
}

}  // namespace

class EventHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void CaptionAtStartWithoutAnyEvent() {
    CountTest test;
    QVERIFY(test.Show());
    QCOMPARE(test.runs(), 0);
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(0));
  }

  void TypedCount_data() { CountRows(); }
  void TypedCount() {
    QFETCH(QString, content);
    QFETCH(int, count);
    CountTest test;
    QVERIFY(test.Show());
    test.Type(content);
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(count));
  }

  void PastedCount_data() { CountRows(); }
  void PastedCount() {
    QFETCH(QString, content);
    QFETCH(int, count);
    CountTest test;
    QVERIFY(test.Show());
    test.Paste(content);
    QCOMPARE(test.runs(), content.isEmpty() ? 0 : 1);
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(count));
  }

  // The box has one kind of line break: a pasted lone CR or LF starts a new
  // line as it does on the screen, and the count follows what is shown.
  void PastedLoneCrAndLfStartLines() {
    CountTest test;
    QVERIFY(test.Show());
    test.Paste(QStringLiteral("L1\rL2\nL3"));
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(3));
  }

  void TenThousandLinesWithoutGrouping() {
    CountTest test;
    QVERIFY(test.Show());
    QString lines;
    for (int i = 0; i < 10000; ++i) lines += QStringLiteral("http://a/%1\r\n").arg(i);
    test.Paste(lines);
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(10000));
  }

  void EnterAfterALinkKeepsTheCountUntilTheNextCharacter() {
    CountTest test;
    QVERIFY(test.Show());
    test.Type(QStringLiteral("http://a/1"));
    QTest::keyClick(test.Edit(), Qt::Key_Return);
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(1));
    QTest::keyClicks(test.Edit(), "h");
    QCOMPARE(test.Caption(), lirrevo::FormatLinkCount(2));
  }

  void ExactReaderRefusesCharactersOutsideGbk() {
    CountTest test;
    const lirrevo::ReadContentFn read = lirrevo::ui::ExactContentReader(test.window());
    QVERIFY(test.window().SetProperty("编辑框1", lirrevo::ui::edit_box::Content,
                                      std::string("a\r\nb")));
    QCOMPARE(read(), std::optional<std::string>("a\r\nb"));
    static_cast<QPlainTextEdit*>(test.Edit())->setPlainText(QStringLiteral("a\U0001F600"));
    QCOMPARE(read(), std::nullopt);
    QCOMPARE(lirrevo::ui::ReadContentForCount(test.window()), std::string("a?"));
  }

  void ExactlyThreeBindings() {
    const std::vector<EventBinding> bindings =
        lirrevo::ui::StartupBindings([]() -> MainWindow* { return nullptr; });
    QCOMPARE(bindings.size(), std::size_t{3});
    QCOMPARE(bindings[0].source, std::string(lirrevo::ui::WindowSource));
    QCOMPARE(bindings[0].event, EventKind::kCreated);
    QVERIFY(!bindings[0].handler);
    QCOMPARE(bindings[1].source, std::string("编辑框1"));
    QCOMPARE(bindings[1].event, EventKind::kContentChanged);
    QVERIFY(bool(bindings[1].handler));
    QCOMPARE(bindings[2].source, std::string("按钮1"));
    QCOMPARE(bindings[2].event, EventKind::kClicked);
    QVERIFY(!bindings[2].handler);
  }
};

QTEST_MAIN(EventHandlersTest)
#include "event_handlers_test.moc"
