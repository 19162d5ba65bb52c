#include "ui/event_handlers.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>

#include "core/document/link_list.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/controls/property_numbers.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::LabelName;

using lirrevo::FormatLinkCount;
using lirrevo::ui::EventKind;
using lirrevo::ui::MainWindow;
using lirrevo::ui::testing::TestWindow;

namespace {

// The shown window with OnLinksChanged bound, counting its runs.
class CountTest {
 public:
  CountTest()
      : test_({{std::string(EditBoxName), EventKind::kContentChanged, [this] {
                  ++runs_;
                  lirrevo::ui::OnLinksChanged(test_.window());
                }}}) {
    shown_ = test_.Show();
  }

  bool shown() const { return shown_; }
  QWidget* Edit() { return test_.Widget(EditBoxName); }
  MainWindow& window() { return test_.window(); }
  int runs() const { return runs_; }

  // Types key by key: CR LF as Enter, other characters as the key's text.
  void Type(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (text.mid(i, 2) == QStringLiteral("\r\n")) {
        QTest::keyClick(Edit(), Qt::Key_Return);
        ++i;
        continue;
      }
      const qsizetype units = text[i].isHighSurrogate() ? 2 : 1;
      QTest::sendKeyEvent(QTest::Click, Edit(), Qt::Key_unknown, text.mid(i, units), {});
      i += units - 1;
    }
  }
  void Paste(const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(Edit(), Qt::Key_V, Qt::ControlModifier);
  }
  std::string Caption() {
    auto value = test_.window().GetProperty(LabelName, lirrevo::ui::label::Caption);
    return value ? std::get<std::string>(*value) : "(none)";
  }
  // The links that splitting the box's Content gives, counted the plain way.
  std::int32_t SplitCount() {
    auto value = test_.window().GetProperty(EditBoxName, lirrevo::ui::edit_box::Content);
    return value ? static_cast<std::int32_t>(
                       lirrevo::SplitLinks(std::get<std::string>(*value)).size())
                 : -1;
  }

 private:
  int runs_ = 0;
  TestWindow test_;
  bool shown_ = false;
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
    QVERIFY(test.shown());
    QCOMPARE(test.runs(), 0);
    QCOMPARE(test.Caption(), FormatLinkCount(0));
  }

  void TypedCount_data() { CountRows(); }
  void TypedCount() {
    QFETCH(QString, content);
    QFETCH(int, count);
    CountTest test;
    test.Type(content);
    QCOMPARE(test.Caption(), FormatLinkCount(count));
  }

  void PastedCount_data() {
    CountRows();
    QString lines;
    for (int i = 0; i < 10000; ++i) lines += QStringLiteral("http://a/%1\r\n").arg(i);
    QTest::newRow("ten thousand lines") << lines << 10000;
    // The box has one kind of line break: a lone CR or LF pasted into it
    // starts a new line on the screen, and the count follows the screen.
    QTest::newRow("lone CR and LF") << "L1\rL2\nL3" << 3;
    QTest::newRow("LF CR") << "L1\n\rL2" << 3;
    QTest::newRow("line and paragraph separators") << "L1\u2028L2\u2029L3" << 3;
    QTest::newRow("trailing line separator") << "L1\u2028" << 1;
    QTest::newRow("only line separators") << "\u2028\u2028" << 2;
    QTest::newRow("separator after a break") << "L1\n\u2028" << 2;
    QTest::newRow("outside gbk last") << "L1\n\U0001F600" << 2;
    QTest::newRow("lone surrogate") << QStringLiteral("L1\n") + QChar(0xD800) << 2;
    QTest::newRow("euro and tab") << "\u20AC\r\n\t" << 2;
    QTest::newRow("characters outside GBK") << QStringLiteral("ß\n\U0001F600\r\n한\U00020000") << 3;
  }
  // The box keeps its count as it changes; it is what splitting the text
  // read from the box gives.
  void PastedCount() {
    QFETCH(QString, content);
    QFETCH(int, count);
    CountTest test;
    test.Paste(content);
    QCOMPARE(test.runs(), content.isEmpty() ? 0 : 1);
    QCOMPARE(test.Caption(), FormatLinkCount(count));
    QCOMPARE(test.SplitCount(), count);
  }

  // Each step changes the box; the count stays the split of what it holds.
  void CountFollowsEveryKindOfChange() {
    CountTest test;
    QVERIFY(test.shown());
    auto* edit = static_cast<QPlainTextEdit*>(test.Edit());
    const auto key = [edit](Qt::Key k, Qt::KeyboardModifiers m = {}) {
      return [=] { QTest::keyClick(edit, k, m); };
    };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"paste", [&] { test.Paste(QStringLiteral("a\u2028b\nc\u2028\u2028d\n")); }},
        {"backspace at a line start", key(Qt::Key_Backspace)},
        {"backspace over a separator",
         [&] {
           edit->moveCursor(QTextCursor::Start);
           edit->moveCursor(QTextCursor::Right);
           edit->moveCursor(QTextCursor::Right);
           QTest::keyClick(edit, Qt::Key_Backspace);
         }},
        {"undo", key(Qt::Key_Z, Qt::ControlModifier)},
        {"redo", key(Qt::Key_Y, Qt::ControlModifier)},
        {"select all and type",
         [&] {
           QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
           QTest::keyClicks(edit, "x");
         }},
        {"undo the replacement", key(Qt::Key_Z, Qt::ControlModifier)},
        {"whole text set", [&] { edit->setPlainText(QStringLiteral("\u2028q\n\u2028")); }},
        {"cleared", [&] { edit->clear(); }},
    };
    const int expected[] = {5, 5, 4, 5, 4, 1, 4, 3, 0};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
      steps[i].second();
      QVERIFY2(test.SplitCount() == expected[i], steps[i].first);
      QVERIFY2(test.Caption() == FormatLinkCount(expected[i]), steps[i].first);
    }
  }

  void BoxReaderGivesUtf8AndRefusesALoneSurrogate() {
    CountTest test;
    const lirrevo::ReadBoxUtf8Fn read_box = lirrevo::ui::BoxUtf8Reader(test.window());
    const auto read = [&]() -> std::optional<std::string> {
      std::optional<lirrevo::BoxUtf8> box = read_box();
      return box ? std::optional<std::string>(box->text) : std::nullopt;
    };
    QVERIFY(test.window().SetProperty(EditBoxName, lirrevo::ui::edit_box::Content,
                                      std::string("a\r\nb")));
    QCOMPARE(read(), std::optional<std::string>("a\r\nb"));
    static_cast<QPlainTextEdit*>(test.Edit())->setPlainText(QStringLiteral("a\U0001F600"));
    QCOMPARE(read(), std::optional<std::string>("a\xF0\x9F\x98\x80"));
    static_cast<QPlainTextEdit*>(test.Edit())->setPlainText(QString(QChar(0xDC00)) + "a");
    QCOMPARE(read(), std::nullopt);
  }

  void ExactlyThreeBindings() {
    const auto bindings = lirrevo::ui::StartupBindings([]() -> MainWindow* { return nullptr; });
    QCOMPARE(bindings.size(), std::size_t{3});
    QCOMPARE(bindings[0].source, std::string(""));
    QCOMPARE(bindings[0].event, EventKind::kCreated);
    QCOMPARE(bindings[1].source, std::string(EditBoxName));
    QCOMPARE(bindings[1].event, EventKind::kContentChanged);
    QCOMPARE(bindings[2].source, std::string(ButtonName));
    QCOMPARE(bindings[2].event, EventKind::kClicked);
    for (const auto& binding : bindings) {
      QVERIFY(bool(binding.handler));
      binding.handler();  // before the window exists a handler does nothing
    }
  }
};

LIRREVO_UI_TEST_MAIN(EventHandlersTest)
#include "event_handlers_test.moc"
