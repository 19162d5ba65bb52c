#include "ui/controls/edit_box_control.h"

#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QUrl>

#include "dialog_steps.h"
#include "modal_script.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/controls/property_numbers.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;

using lirrevo::ui::EventKind;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::testing::TestWindow;
using Content = std::optional<std::string>;

namespace {

// The shown window, counting the box's content-changed events.
class BoxTest {
 public:
  BoxTest()
      : test_({{std::string(EditBoxName), EventKind::kContentChanged, [this] { ++changes_; }}}) {
    shown_ = test_.Show();
  }

  bool shown() const { return shown_; }
  QPlainTextEdit* Edit() { return static_cast<QPlainTextEdit*>(test_.Widget(EditBoxName)); }
  int changes() const { return changes_; }

  Content Read(bool* exact = nullptr) {
    std::optional<PropertyValue> value =
        test_.window().GetProperty(EditBoxName, lirrevo::ui::edit_box::Content, exact);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return std::get<std::string>(*value);
  }
  bool Write(const std::string& gbk) {
    return test_.window().SetProperty(EditBoxName, lirrevo::ui::edit_box::Content, gbk);
  }

 private:
  int changes_ = 0;
  TestWindow test_;
  bool shown_ = false;
};

// Drags the files onto the box and drops them at the start of block `block`.
void DropFiles(QPlainTextEdit* edit, const QStringList& paths, int block) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  QTextCursor at(edit->document()->findBlockByNumber(block));
  const QPointF point = edit->cursorRect(at).center();
  QWidget* target = edit->viewport();
  QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

}  // namespace

class EditBoxControlTest : public QObject {
  Q_OBJECT

 private slots:
  void EmptyBoxReadsEmpty() {
    BoxTest box;
    bool exact = false;
    QCOMPARE(box.Read(&exact), Content(""));
    QVERIFY(exact);
  }

  // Tab moves on, so Ctrl+Tab is how a tab is typed.
  void TwoTypedLinesReadWithOneCrLf() {
    BoxTest box;
    QVERIFY(box.shown());
    QTest::keyClicks(box.Edit(), "L1");
    QTest::keyClick(box.Edit(), Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(box.Edit(), Qt::Key_Return);
    QTest::keyClicks(box.Edit(), "L2");
    QCOMPARE(box.Read(), Content("L1\t\r\nL2"));
    QCOMPARE(QApplication::focusWidget(), box.Edit());
  }

  // Qt changes the block format before it inserts on an empty line.
  void EnterAddsOneLineBreakAndOneEvent() {
    BoxTest box;
    QVERIFY(box.shown());
    QTest::keyClick(box.Edit(), Qt::Key_Return);
    QCOMPARE(box.changes(), 1);
    QCOMPARE(box.Read(), Content("\r\n"));
  }

  void EachTypedCharacterIsOneEvent() {
    BoxTest box;
    QVERIFY(box.shown());
    QTest::keyClicks(box.Edit(), "abc");
    QCOMPARE(box.changes(), 3);
    QTest::keyClick(box.Edit(), Qt::Key_Z, Qt::ControlModifier);  // undo
    QCOMPARE(box.changes(), 4);
  }

  void PastingABlockIsOneEvent() {
    BoxTest box;
    QVERIFY(box.shown());
    QApplication::clipboard()->setText(QStringLiteral("a\r\nb\r\n死链\r\nd"));
    QTest::keyClick(box.Edit(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.changes(), 1);
    QCOMPARE(box.Read(), Content("a\r\nb\r\n\xCB\xC0\xC1\xB4\r\nd"));  // "死链" in GBK
    QTest::keyClick(box.Edit(), Qt::Key_Z, Qt::ControlModifier);       // one undo takes it all back
    QCOMPARE(box.Read(), Content(""));
  }

  // The box's text reaches the core in GB18030: an emoji is its four bytes;
  // only a lone surrogate has no code and is reported.
  void CharacterOutsideGbkIsReadInGb18030() {
    BoxTest box;
    box.Edit()->setPlainText(QStringLiteral("a\U0001F600\nb"));
    bool exact = false;
    QCOMPARE(box.Read(&exact), Content("a\x94\x39\xFC\x36\r\nb"));
    QVERIFY(exact);
    box.Edit()->setPlainText(QString(QChar(0xD800)) + "b");
    QCOMPARE(box.Read(&exact), Content("?b"));
    QVERIFY(!exact);
  }

  void WritingContentIsExactlyOneEvent() {
    BoxTest box;
    QVERIFY(box.Write("one\r\ntwo\r\n"));
    QCOMPARE(box.changes(), 1);
    QCOMPARE(box.Edit()->toPlainText(), QStringLiteral("one\ntwo\n"));
    QVERIFY(box.Write(""));
    QCOMPARE(box.changes(), 2);
    QVERIFY(!box.Write("bad\xFF\xFF"));
    QCOMPARE(box.changes(), 2);
  }

  void BothScrollBarsAreAlwaysShown() {
    BoxTest box;
    QVERIFY(box.shown());
    QVERIFY(box.Edit()->horizontalScrollBar()->isVisible());
    QVERIFY(box.Edit()->verticalScrollBar()->isVisible());
  }

  // With the focus elsewhere the box looks as if nothing were selected.
  void SelectionIsHiddenWithoutFocus() {
    BoxTest box;
    QVERIFY(box.shown());
    QVERIFY(box.Write("selected text"));
    box.Edit()->selectAll();
    const QColor highlight = box.Edit()->palette().color(QPalette::Active, QPalette::Highlight);
    QVERIFY(box.Edit()->viewport()->grab().toImage().pixelColor(4, 8) == highlight);
    box.Edit()
        ->parentWidget()
        ->window()
        ->findChild<QWidget*>(lirrevo::ui::testing::Utf8(ButtonName))
        ->setFocus();
    const QImage selected = box.Edit()->viewport()->grab().toImage();
    box.Edit()->moveCursor(QTextCursor::End);
    QCOMPARE(selected, box.Edit()->viewport()->grab().toImage());
  }

  void LongLineDoesNotWrap() {
    BoxTest box;
    const std::string line(2000, 'w');
    QVERIFY(box.Write(line));
    QVERIFY(box.Edit()->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(box.Read(), Content(line));
  }

  // A dropped list file gives its lines at the drop point, in each encoding
  // lirrevo-cli reads; one it cannot read gives nothing and "失败".
  void DroppedFileInsertsItsLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<bool>("fails");  // the failure box shows
    const QString lines = QStringLiteral("http://a.cn/死链\nhttp://a.cn/2\n");
    QTest::newRow("UTF-8") << QByteArray("http://a.cn/\xE6\xAD\xBB\xE9\x93\xBE\nhttp://a.cn/2\n")
                           << lines << false;
    QTest::newRow("UTF-8, byte-order mark")
        << QByteArray("\xEF\xBB\xBFhttp://a.cn/\xE6\xAD\xBB\xE9\x93\xBE\nhttp://a.cn/2\n") << lines
        << false;
    QTest::newRow("GBK, CR LF") << QByteArray("http://a.cn/\xCB\xC0\xC1\xB4\r\nhttp://a.cn/2\r\n")
                                << lines << false;
    QTest::newRow("GB18030 beyond GBK")
        << QByteArray("http://a.cn/\x95\x32\x82\x36\nhttp://a.cn/2\n")
        << QStringLiteral("http://a.cn/\U00020000\nhttp://a.cn/2\n") << false;
    QTest::newRow("UTF-16LE") << QByteArray(
                                     "\xFF\xFE"
                                     "a\0\x7B\x6B\n\0b\0\n\0",
                                     12)
                              << QStringLiteral("a死\nb\n") << false;
    QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF\0a\x6B\x7B\0\n\0b\0\n", 12)
                              << QStringLiteral("a死\nb\n") << false;
    QTest::newRow("neither UTF-8 nor GB18030")
        << QByteArray("http://a.cn/\x81\x20\n") << QString() << true;
    QTest::newRow("a NUL") << QByteArray("http://a.cn/\0\n", 14) << QString() << true;
    QTest::newRow("empty") << QByteArray() << QString() << false;
  }
  void DroppedFileInsertsItsLines() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, inserted);
    QFETCH(bool, fails);
    BoxTest box;
    QVERIFY(box.shown());
    box.Edit()->setPlainText(QStringLiteral("first\nlast"));
    QTemporaryDir folder;
    QFile file(folder.filePath("list.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const int changes = box.changes();
    QString failure;
    lirrevo::ui::testing::ModalScript script;
    if (fails) {
      script.On<QMessageBox>([&](QMessageBox* message) {
        failure = message->text();
        lirrevo::ui::testing::Press(message, QMessageBox::Ok);
      });
    }
    QVERIFY(script.Run([&] {
      DropFiles(box.Edit(), {file.fileName()}, 1);
      if (fails) QTRY_VERIFY(!failure.isEmpty());
    }));
    QCOMPARE(box.Edit()->toPlainText(), "first\n" + inserted + "last");
    QCOMPARE(box.changes(), changes + (inserted.isEmpty() ? 0 : 1));
    QCOMPARE(failure, fails ? QStringLiteral("失败") : QString());
  }
};

LIRREVO_UI_TEST_MAIN(EditBoxControlTest)
#include "edit_box_control_test.moc"
