// The button from click to file and message: the real Save dialog, the real
// message box and the real file.
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include "dialog_steps.h"
#include "modal_script.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/event_handlers.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;

using lirrevo::ui::MainWindow;
using lirrevo::ui::testing::EnterName;
using lirrevo::ui::testing::ModalScript;
using lirrevo::ui::testing::Press;
using lirrevo::ui::testing::TestWindow;

namespace {

// What a message box showed.
struct Message {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  QList<QMessageBox::StandardButton> buttons;
  QWidget* owner = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  Qt::WindowFlags frame;
  bool title_fits = false;
};

// Whether the shown box is as wide as its frame needs to show the whole
// title beside the icon and the close button, and the minimise and maximise
// buttons that some window managers draw whatever the window asks for.
bool TitleFits(const QMessageBox& box) {
  const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
  const int button = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
  return box.width() >= title.horizontalAdvance(box.windowTitle()) + 4 * button;
}

// Notes what the box shows and closes it with OK.
std::function<void(QMessageBox*)> Note(Message& message) {
  return [&message](QMessageBox* box) {
    message = {box->windowTitle(),  box->text(),           box->icon(),        {},
               box->parentWidget(), box->windowModality(), box->windowFlags(), TitleFits(*box)};
    for (QAbstractButton* button : box->buttons()) message.buttons << box->standardButton(button);
    Press(box, QMessageBox::Ok);
  };
}

// The document of the links (UTF-8, one per element), dated today; today
// is taken by the caller around the run.
QByteArray Document(const QStringList& links, const QDate& day) {
  const QString date = QStringLiteral("%1-%2-%3").arg(day.year()).arg(day.month()).arg(day.day());
  QString text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n  <urlset>\r\n";
  for (const QString& link : links) {
    text += "    <url>\r\n        <loc>" + link + "</loc>\r\n        <lastmod>" + date +
            "</lastmod>\r\n        <changefreq>always</changefreq>\r\n" +
            "        <priority>1.0</priority>\r\n    </url>\r\n";
  }
  return (text + "  </urlset>").toUtf8();
}

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The startup window with the program's bindings, shown.
class GenerateTest {
 public:
  GenerateTest() : test_(lirrevo::ui::StartupBindings([this] { return window_; })) {
    window_ = &test_.window();
    shown_ = test_.Show();
  }

  bool ready() const { return shown_ && folder_.isValid(); }
  MainWindow& window() { return *window_; }
  QPushButton* Button() { return static_cast<QPushButton*>(test_.Widget(ButtonName)); }
  QString Path(const QString& name) const { return folder_.filePath(name); }
  QStringList Files() const { return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden); }

  void SetBox(const QString& text) {
    static_cast<QPlainTextEdit*>(test_.Widget(EditBoxName))->setPlainText(text);
  }
  // Clicks the button with the script answering the dialog and the box.
  bool Click(ModalScript& script) {
    return script.Run([this] { QTest::mouseClick(Button(), Qt::LeftButton); });
  }

 private:
  MainWindow* window_ = nullptr;
  TestWindow test_;
  QTemporaryDir folder_;
  bool shown_ = false;
};

}  // namespace

class GenerateClickedTest : public QObject {
  Q_OBJECT

 private slots:
  void WritesTheDocumentAndSaysSo() {
    GenerateTest test;
    QVERIFY(test.ready());
    test.SetBox(QStringLiteral("http://a/1?x=1&y=2\n\n死链/页<1>"));
    const QString folder = test.Path(QStringLiteral("死链目录"));
    QVERIFY(QDir().mkpath(folder));
    QSignalSpy clicks(test.Button(), &QPushButton::clicked);
    Message message;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(dialog->parentWidget(), &test.window());
      // A click on the button while the dialog is open reaches nothing.
      const QPoint centre = test.Button()->mapTo(&test.window(), test.Button()->rect().center());
      QTest::mouseClick(test.window().windowHandle(), Qt::LeftButton, {}, centre);
      EnterName(dialog, folder + "/out");
    });
    script.On<QMessageBox>(Note(message));
    const QDate before = QDate::currentDate();
    QVERIFY(test.Click(script));
    const QDate after = QDate::currentDate();
    QCOMPARE(clicks.count(), 1);
    const QStringList links = {"http://a/1?x=1&amp;y=2", "", "死链/页&lt;1&gt;"};
    const QByteArray written = Contents(folder + "/out.xml");
    QVERIFY(written == Document(links, before) || written == Document(links, after));
    QCOMPARE(message.text, QStringLiteral("生成成功！"));
    QCOMPARE(message.title, QStringLiteral("信息："));
    QCOMPARE(message.icon, QMessageBox::NoIcon);
    QCOMPARE(message.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    QCOMPARE(message.owner, nullptr);
    QCOMPARE(message.modality, Qt::ApplicationModal);
    QVERIFY(message.title_fits);
    // The frame is asked for exactly its buttons: the close button alone.
    constexpr Qt::WindowFlags kButtons =
        Qt::CustomizeWindowHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    QCOMPARE(message.frame & kButtons, Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    QTRY_COMPARE(QApplication::activeWindow(), &test.window());
    QCOMPARE(QApplication::focusWidget(), test.Button());
  }

  void CancelWritesNothingAndSaysNothing() {
    GenerateTest test;
    QVERIFY(test.ready());
    test.SetBox(QStringLiteral("http://a/1"));
    ModalScript script;
    script.On<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(test.Click(script));  // and no message box after it
    QCOMPARE(test.Files(), QStringList());
  }

  void SecondDialogStartsWithTheLastPath() {
    GenerateTest test;
    QVERIFY(test.ready());
    Message message;
    ModalScript first;
    first.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path("links")); });
    first.On<QMessageBox>(Note(message));
    QVERIFY(test.Click(first));
    ModalScript second;
    second.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(dialog->selectedFiles().value(0), test.Path("links.xml"));
      dialog->reject();
    });
    QVERIFY(test.Click(second));
  }

  // The dialog's own settings (its view, its folder history) pass from one
  // dialog to the next within the run, and none reaches the settings folder.
  void DialogKeepsItsSettingsForTheRunOnly() {
    GenerateTest test;
    QVERIFY(test.ready());
    Message message;
    ModalScript first;
    first.On<QFileDialog>([&](QFileDialog* dialog) {
      dialog->setViewMode(QFileDialog::List);
      EnterName(dialog, test.Path("links"));
    });
    first.On<QMessageBox>(Note(message));
    QVERIFY(test.Click(first));
    QFileDialog::ViewMode second_view = QFileDialog::Detail;
    ModalScript second;
    second.On<QFileDialog>([&](QFileDialog* dialog) {
      second_view = dialog->viewMode();
      dialog->reject();
    });
    QVERIFY(test.Click(second));
    QCOMPARE(second_view, QFileDialog::List);
    const QDir home(lirrevo::ui::testing::TestHome().path());
    QCOMPARE(QDir(home.filePath(".config"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QDirIterator files(home.path(), {"QtProject*"}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    QVERIFY2(!files.hasNext(), qPrintable(files.next()));
  }

  // After the confirmation the whole old content is gone.
  void ExistingFileIsReplacedAfterTheQuestion() {
    GenerateTest test;
    QVERIFY(test.ready());
    const QString path = test.Path("old.xml");
    QVERIFY(WriteFile(path, QByteArray(4096, 'x')));
    test.SetBox(QStringLiteral("http://a/new"));
    Message message;
    int questions = 0;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, path); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      ++questions;
      Press(box, QMessageBox::No);
    });
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(Contents(path), QByteArray(4096, 'x'));  // not yet touched
      EnterName(dialog, path);
    });
    script.On<QMessageBox>([&](QMessageBox* box) {
      ++questions;
      Press(box, QMessageBox::Yes);
    });
    script.On<QMessageBox>(Note(message));
    const QDate before = QDate::currentDate();
    QVERIFY(test.Click(script));
    QCOMPARE(questions, 2);
    const QByteArray written = Contents(path);
    QVERIFY(written == Document({"http://a/new"}, before) ||
            written == Document({"http://a/new"}, QDate::currentDate()));
    QCOMPARE(message.text, QStringLiteral("生成成功！"));
  }

  // Characters GBK lacks are written as their UTF-8 like any other.
  void CharactersOutsideGbkAreWritten() {
    GenerateTest test;
    QVERIFY(test.ready());
    test.SetBox(QStringLiteral("http://a/\U0001F600\nhttp://a.de/straße\n한국\U00020000"));
    Message message;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path("out")); });
    script.On<QMessageBox>(Note(message));
    const QDate before = QDate::currentDate();
    QVERIFY(test.Click(script));
    QCOMPARE(message.text, QStringLiteral("生成成功！"));
    const QByteArray written = Contents(test.Path("out.xml"));
    const QStringList links = {QStringLiteral("http://a/\U0001F600"),
                               QStringLiteral("http://a.de/straße"),
                               QStringLiteral("한국\U00020000")};
    QVERIFY(written == Document(links, before) || written == Document(links, QDate::currentDate()));
  }

  // XML 1.0 cannot hold a form feed in any form: no document, no file.
  void ControlCharacterFailsAndWritesNothing() {
    GenerateTest test;
    QVERIFY(test.ready());
    test.SetBox(QStringLiteral("http://a/1\nhttp://a/\f"));
    Message message;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path("out")); });
    script.On<QMessageBox>(Note(message));
    QVERIFY(test.Click(script));
    QCOMPARE(message.text, QStringLiteral("失败"));
    QCOMPARE(message.title, QStringLiteral("信息："));
    QCOMPARE(test.Files(), QStringList());
  }
};

LIRREVO_UI_TEST_MAIN(GenerateClickedTest)
#include "generate_clicked_test.moc"
