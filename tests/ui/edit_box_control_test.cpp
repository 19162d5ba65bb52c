#include "ui/edit_box_control.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "test_window.h"
#include "ui/property_numbers.h"

using lirrevo::ui::EventKind;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
namespace edit_box = lirrevo::ui::edit_box;

namespace {

// The box, and a count of its content-changed events.
class BoxTest {
 public:
  BoxTest() : test_({{"编辑框1", EventKind::kContentChanged, [this] { ++changes_; }}}) {}

  bool Show() { return test_.Show(); }
  QPlainTextEdit* Edit() { return static_cast<QPlainTextEdit*>(test_.Widget("编辑框1")); }
  int changes() const { return changes_; }
  void ResetChanges() { changes_ = 0; }

  std::optional<std::string> Content(bool* exact = nullptr) {
    std::optional<PropertyValue> value =
        test_.window().GetProperty("编辑框1", edit_box::Content, exact);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return std::get<std::string>(*value);
  }
  bool SetContent(const std::string& gbk) {
    return test_.window().SetProperty("编辑框1", edit_box::Content, gbk);
  }

 private:
  int changes_ = 0;
  TestWindow test_;
};

}  // namespace

class EditBoxControlTest : public QObject {
  Q_OBJECT

 private slots:
  void EmptyBoxReadsEmpty() {
    BoxTest box;
    bool exact = false;
    QCOMPARE(box.Content(&exact), std::optional<std::string>(""));
    QVERIFY(exact);
  }

  void TwoTypedLinesReadWithOneCrLf() {
    BoxTest box;
    QVERIFY(box.Show());
    QTest::keyClicks(box.Edit(), "L1");
    QTest::keyClick(box.Edit(), Qt::Key_Return);
    QTest::keyClicks(box.Edit(), "L2");
    QCOMPARE(box.Content(), std::optional<std::string>("L1\r\nL2"));
  }

  void EnterAddsOneLineBreakAndOneEvent() {
    BoxTest box;
    QVERIFY(box.Show());
    QTest::keyClick(box.Edit(), Qt::Key_Return);
    QCOMPARE(box.changes(), 1);
    QCOMPARE(box.Content(), std::optional<std::string>("\r\n"));
  }

  void EachTypedCharacterIsOneEvent() {
    BoxTest box;
    QVERIFY(box.Show());
    QTest::keyClicks(box.Edit(), "abc");
    QCOMPARE(box.changes(), 3);
    QTest::keyClick(box.Edit(), Qt::Key_Backspace);
    QCOMPARE(box.changes(), 4);
    box.Edit()->undo();
    QCOMPARE(box.changes(), 5);
  }

  void PastingABlockIsOneEvent() {
    BoxTest box;
    QVERIFY(box.Show());
    QApplication::clipboard()->setText(QStringLiteral("a\r\nb\r\n死链\r\nd"));
    QTest::keyClick(box.Edit(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.changes(), 1);
    // "死链" in GBK
    QCOMPARE(box.Content(), std::optional<std::string>("a\r\nb\r\n\xCB\xC0\xC1\xB4\r\nd"));
  }

  void ContentIsReadLive() {
    BoxTest box;
    QVERIFY(box.Show());
    QTest::keyClicks(box.Edit(), "x");
    QCOMPARE(box.Content(), std::optional<std::string>("x"));
    box.Edit()->selectAll();
    QTest::keyClicks(box.Edit(), "yz");
    QCOMPARE(box.Content(), std::optional<std::string>("yz"));
  }

  void CharacterOutsideGbkIsReported() {
    BoxTest box;
    box.Edit()->setPlainText(QStringLiteral("a\U0001F600\nb"));
    bool exact = true;
    QCOMPARE(box.Content(&exact), std::optional<std::string>("a?\r\nb"));
    QVERIFY(!exact);
  }

  void WritingContentIsExactlyOneEvent() {
    BoxTest box;
    QVERIFY(box.SetContent("one\r\ntwo\r\n"));
    QCOMPARE(box.changes(), 1);
    QCOMPARE(box.Edit()->toPlainText(), QStringLiteral("one\ntwo\n"));
    QCOMPARE(box.Content(), std::optional<std::string>("one\r\ntwo\r\n"));
    QVERIFY(box.SetContent(""));
    QCOMPARE(box.changes(), 2);
  }

  void WritingBytesThatAreNotGbkChangesNothing() {
    BoxTest box;
    QVERIFY(box.SetContent("keep"));
    box.ResetChanges();
    QVERIFY(!box.SetContent("bad\xFF\xFF"));
    QCOMPARE(box.changes(), 0);
    QCOMPARE(box.Content(), std::optional<std::string>("keep"));
  }

  void LongLineDoesNotWrap() {
    BoxTest box;
    QVERIFY(box.Show());
    const std::string line(2000, 'w');
    QVERIFY(box.SetContent(line));
    QCOMPARE(box.Edit()->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(box.Edit()->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(box.Content(), std::optional<std::string>(line));
  }

  void LooksAsTheTemplateSays() {
    BoxTest box;
    QPlainTextEdit* edit = box.Edit();
    QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(edit->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(edit->frameShadow(), QFrame::Sunken);
    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(!edit->isReadOnly());
    // Hidden selection: without the focus, selected text looks like the rest.
    QCOMPARE(edit->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::white));
  }

  void SelectedTextReadsAndWrites() {
    BoxTest box;
    QVERIFY(box.SetContent("abc\r\ndef"));
    QTextCursor cursor = box.Edit()->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    box.Edit()->setTextCursor(cursor);
    QVERIFY(box.Edit()->textCursor().hasSelection());
    auto& window = *qobject_cast<lirrevo::ui::MainWindow*>(box.Edit()->window());
    QVERIFY(window.GetProperty("编辑框1", edit_box::SelText) ==
            PropertyValue(std::string("c\r\nd")));
    QVERIFY(window.SetProperty("编辑框1", edit_box::SelText, std::string("X")));
    QCOMPARE(box.Content(), std::optional<std::string>("abXef"));
  }
};

QTEST_MAIN(EditBoxControlTest)
#include "edit_box_control_test.moc"
