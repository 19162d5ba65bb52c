#include "ui/common_dialog_control.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "dialog_steps.h"
#include "modal_script.h"
#include "test_window.h"
#include "ui/property_numbers.h"

using lirrevo::ui::CommonDialogControl;
using lirrevo::ui::PropertyValue;
using lirrevo::ui::WindowTemplate;
using lirrevo::ui::testing::EnterName;
using lirrevo::ui::testing::ModalScript;
using lirrevo::ui::testing::NameEdit;
using lirrevo::ui::testing::Press;
using lirrevo::ui::testing::TestWindow;
namespace common_dialog = lirrevo::ui::common_dialog;

Q_DECLARE_METATYPE(PropertyValue)
Q_DECLARE_METATYPE(std::string)

namespace {

PropertyValue Int(std::int32_t v) { return v; }
PropertyValue Bool(bool v) { return v; }
PropertyValue Text(const char* v) { return std::string(v); }

// "XML文件（*.xml）" as the dialog shows it.
const QString kXmlFilter = QStringLiteral("XML文件（*.xml） (*.xml)");

// The window with its dialog component, shown, and a folder for files.
class DialogTest {
 public:
  explicit DialogTest(const WindowTemplate& from = lirrevo::ui::StartupWindowTemplate())
      : test_({}, from) {
    shown_ = test_.built() && test_.Show();
  }

  bool ready() const { return shown_ && folder_.isValid(); }
  lirrevo::ui::MainWindow& window() { return test_.window(); }
  CommonDialogControl& dialog() {
    return dynamic_cast<CommonDialogControl&>(*test_.window().FindControl("通用对话框1"));
  }
  QString Path(const QString& name) const { return folder_.filePath(name); }
  bool Set(int number, const PropertyValue& value) {
    return window().SetProperty("通用对话框1", number, value);
  }
  std::string FileName() {
    return std::get<std::string>(*window().GetProperty("通用对话框1", common_dialog::FileName));
  }
  QString FileNameText() {
    return QFile::decodeName(QByteArray::fromStdString(dialog().FileNameBytes()));
  }

  // Runs ShowDialog with the script answering; its result, or nullopt when
  // the script did not run to its end.
  std::optional<bool> Show(ModalScript& script) {
    bool result = false;
    if (!script.Run([&] { result = dialog().ShowDialog(); })) return std::nullopt;
    return result;
  }

 private:
  TestWindow test_;
  QTemporaryDir folder_;
  bool shown_ = false;
};

// The startup window with settings of the dialog component changed in the
// template, where writes would clamp them.
WindowTemplate WithDialogSettings(const std::vector<lirrevo::ui::Setting>& changes) {
  WindowTemplate changed = lirrevo::ui::StartupWindowTemplate();
  for (auto& entry : changed.controls) {
    if (entry.name != "通用对话框1") continue;
    for (auto& setting : entry.settings) {
      for (const auto& change : changes) {
        if (setting.number == change.number) setting.value = change.value;
      }
    }
  }
  return changed;
}

void Cancel(QFileDialog* dialog) { dialog->reject(); }

}  // namespace

class CommonDialogControlTest : public QObject {
  Q_OBJECT

 private slots:
  void WritesAndReads_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("written");
    QTest::addColumn<PropertyValue>("read");
    using namespace common_dialog;
    QTest::newRow("open kind") << Kind << Int(0) << Int(0);
    QTest::newRow("font kind kept") << Kind << Int(2) << Int(2);
    QTest::newRow("kind below 0 becomes 0") << Kind << Int(-1) << Int(0);
    QTest::newRow("kind above 3 becomes 3") << Kind << Int(7) << Int(3);
    QTest::newRow("title") << Title << Text("\xB1\xA3\xB4\xE6") << Text("\xB1\xA3\xB4\xE6");
    QTest::newRow("file name") << FileName << Text("/tmp/a.xml") << Text("/tmp/a.xml");
    QTest::newRow("filter") << Filter << Text("A|*.a") << Text("A|*.a");
    QTest::newRow("filter index") << InitialFilterIndex << Int(4) << Int(4);
    QTest::newRow("filter index below 0 becomes 0") << InitialFilterIndex << Int(-3) << Int(0);
    QTest::newRow("folder") << InitialFolder << Text("/tmp") << Text("/tmp");
    QTest::newRow("extension") << DefaultExtension << Text("txt") << Text("txt");
    QTest::newRow("create prompt") << CreatePrompt << Bool(true) << Bool(true);
    QTest::newRow("file must exist") << FileMustExist << Bool(false) << Bool(false);
    QTest::newRow("overwrite prompt") << OverwritePrompt << Bool(false) << Bool(false);
    QTest::newRow("path must exist") << PathMustExist << Bool(false) << Bool(false);
    QTest::newRow("no change folder") << NoChangeFolder << Bool(true) << Bool(true);
    QTest::newRow("font colour") << FontColor << Int(0x0000FF) << Int(0x0000FF);
    QTest::newRow("font bold") << FontBold << Bool(true) << Bool(true);
    QTest::newRow("font italic") << FontItalic << Bool(true) << Bool(true);
    QTest::newRow("font underline") << FontUnderline << Bool(true) << Bool(true);
    QTest::newRow("font strikeout") << FontStrikeout << Bool(true) << Bool(true);
    QTest::newRow("font name") << FontName << Text("SimSun") << Text("SimSun");
    QTest::newRow("font size") << FontSize << Int(12) << Int(12);
    QTest::newRow("help file") << HelpFile << Text("a.chm") << Text("a.chm");
    QTest::newRow("help command") << HelpCommand << Int(3) << Int(3);
    QTest::newRow("help topic") << HelpTopic << Int(9) << Int(9);
  }
  void WritesAndReads() {
    QFETCH(int, number);
    QFETCH(PropertyValue, written);
    QFETCH(PropertyValue, read);
    TestWindow test;
    QVERIFY(test.window().SetProperty("通用对话框1", number, written));
    QVERIFY(test.window().GetProperty("通用对话框1", number) == read);
  }

  void RefusedWritesChangeNothing_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<PropertyValue>("written");
    using namespace common_dialog;
    QTest::newRow("text for the kind") << Kind << Text("1");
    QTest::newRow("number for the file name") << FileName << Int(1);
    QTest::newRow("file name not gbk") << FileName << Text("\xFF\xFF");
    QTest::newRow("filter not gbk") << Filter << Text("A|\x81");
    QTest::newRow("number past the last setting") << 30 << Int(0);
  }
  void RefusedWritesChangeNothing() {
    QFETCH(int, number);
    QFETCH(PropertyValue, written);
    TestWindow test;
    const auto before = test.window().GetProperty("通用对话框1", number);
    QVERIFY(!test.window().SetProperty("通用对话框1", number, written));
    QVERIFY(test.window().GetProperty("通用对话框1", number) == before);
  }

  // The first dialog of a run: a save dialog owned by the window, the XML
  // pair selected, an empty name, the default extension, the overwrite
  // prompt; cancelling it leaves FileName empty.
  void FirstDialog() {
    DialogTest test;
    QVERIFY(test.ready());
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(dialog->parentWidget(), &test.window());
      QVERIFY(dialog->isModal());
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
      QCOMPARE(dialog->nameFilters(), QStringList{kXmlFilter});
      QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("XML文件（*.xml）"));  // as shown
      QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
      QCOMPARE(dialog->defaultSuffix(), QStringLiteral("xml"));
      QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
      QVERIFY(!dialog->windowTitle().isEmpty());
      QCOMPARE(NameEdit(dialog)->text(), QString());
      Cancel(dialog);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QCOMPARE(test.FileName(), std::string());
  }

  void FilterSettingsMakeTheList_data() {
    QTest::addColumn<std::string>("filter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("selected");  // as the dialog shows it
    QTest::newRow("second pair") << std::string("Xml|*.xml|Text|*.txt;*.text") << 1
                                 << QStringList{"Xml (*.xml)", "Text (*.txt *.text)"} << "Text";
    QTest::newRow("negative index selects the first")
        << std::string("Xml|*.xml|Text|*.txt") << -2 << QStringList{"Xml (*.xml)", "Text (*.txt)"}
        << "Xml";
    QTest::newRow("index past the list selects the first")
        << std::string("Xml|*.xml") << 5 << QStringList{"Xml (*.xml)"} << "Xml";
    QTest::newRow("empty filter: every file")
        << std::string("  ") << 0 << QStringList{} << QString();
  }
  void FilterSettingsMakeTheList() {
    QFETCH(std::string, filter);
    QFETCH(int, index);
    QFETCH(QStringList, filters);
    QFETCH(QString, selected);
    DialogTest test(WithDialogSettings(
        {{common_dialog::Filter, filter}, {common_dialog::InitialFilterIndex, index}}));
    QVERIFY(test.ready());
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      if (filters.isEmpty()) {
        QCOMPARE(dialog->nameFilters().size(), qsizetype{1});
        QVERIFY(dialog->nameFilters().first().contains(u'*'));  // Qt's own "every file"
      } else {
        QCOMPARE(dialog->nameFilters(), filters);
        QCOMPARE(dialog->selectedNameFilter(), selected);
      }
      Cancel(dialog);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(false));
  }

  void TitleAndFolderSettings() {
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(test.Set(common_dialog::Title, Text("\xD1\xA1\xD4\xF1")));  // "选择"
    QVERIFY(test.Set(common_dialog::InitialFolder,
                     QFile::encodeName(test.Path(QString())).toStdString()));
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(dialog->windowTitle(), QStringLiteral("选择"));
      QCOMPARE(dialog->directory().absolutePath(), QDir(test.Path(QString())).absolutePath());
      Cancel(dialog);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(false));
  }

  void TypedNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("bare name gets .xml") << "report"
                                         << "report.xml";
    QTest::newRow("own extension kept") << "report.txt"
                                        << "report.txt";
    QTest::newRow("xml kept as it is") << "report.xml"
                                       << "report.xml";
    QTest::newRow("chinese name") << "死链"
                                  << "死链.xml";
  }
  void TypedNames() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    DialogTest test;
    QVERIFY(test.ready());
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path(typed)); });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(test.FileNameText(), test.Path(chosen));
  }

  // The path goes to the file system as the dialog gave it; read as GBK it
  // is marked inexact where a character has no GBK code.
  void FileNameOutsideGbkKeepsItsBytes() {
    DialogTest test;
    QVERIFY(test.ready());
    const QString folder = test.Path(QStringLiteral("폴더😀"));
    QVERIFY(QDir().mkpath(folder));
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, folder + "/a"); });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(test.dialog().FileNameBytes(), (folder + "/a.xml").toUtf8().toStdString());
    bool exact = true;
    test.window().GetProperty("通用对话框1", common_dialog::FileName, &exact);
    QVERIFY(!exact);
  }

  void MissingFolderIsRefusedAndTheDialogStays() {
    DialogTest test;
    QVERIFY(test.ready());
    ModalScript script;
    QString warning;
    script.On<QFileDialog>(
        [&](QFileDialog* dialog) { EnterName(dialog, test.Path("missing/report")); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      warning = box->text();
      Press(box, QMessageBox::Ok);
    });
    script.On<QFileDialog>(Cancel);
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QVERIFY(warning.contains(QStringLiteral("路径不存在")));
    QCOMPARE(test.FileName(), std::string());
    QVERIFY(!QFile::exists(test.Path("missing")));
  }

  void ExistingFileAsksBeforeItIsAccepted() {
    DialogTest test;
    QVERIFY(test.ready());
    const QString existing = test.Path("old.xml");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    int questions = 0;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, existing); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      ++questions;
      Press(box, QMessageBox::No);  // declined: the dialog stays open
    });
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, existing); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      ++questions;
      Press(box, QMessageBox::Yes);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(questions, 2);
    QCOMPARE(test.FileNameText(), existing);
  }

  void NoOverwritePromptWhenSwitchedOff() {
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(test.Set(common_dialog::OverwritePrompt, Bool(false)));
    const QString existing = test.Path("old.xml");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, existing); });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(test.FileNameText(), existing);
  }

  void CreatePromptAsksForANewFile() {
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(test.Set(common_dialog::CreatePrompt, Bool(true)));
    QString question;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path("new")); });
    script.On<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      Press(box, QMessageBox::No);
    });
    script.On<QFileDialog>(Cancel);
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QVERIFY(question.contains(QStringLiteral("要创建该文件吗")));
  }

  void OpenKindTakesOnlyExistingFiles() {
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(test.Set(common_dialog::Kind, Int(0)));
    const QString existing = test.Path("links.xml");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
      QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
      EnterName(dialog, test.Path("absent.xml"));
    });
    script.On<QMessageBox>([](QMessageBox* box) { box->accept(); });  // "not found"
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, existing); });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(test.FileNameText(), existing);
  }

  void FontAndHelpKindsShowNothing_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("font") << 2;
    QTest::newRow("help") << 3;
  }
  void FontAndHelpKindsShowNothing() {
    QFETCH(int, kind);
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(test.Set(common_dialog::Kind, Int(kind)));
    ModalScript script;
    script.On<QWidget>([](QWidget* modal) { modal->close(); });
    bool shown = true;
    script.Run([&] { shown = test.dialog().ShowDialog(); }, 300);
    QVERIFY(!shown);
    QCOMPARE(script.StepsRun(), std::size_t{0});
  }

  // Each dialog starts with the last confirmed path; a cancel keeps it.
  void NextDialogStartsWithTheLastPath() {
    DialogTest test;
    QVERIFY(test.ready());
    ModalScript first;
    first.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, test.Path("one")); });
    QCOMPARE(test.Show(first), std::optional<bool>(true));
    for (int round = 0; round < 2; ++round) {
      ModalScript next;
      next.On<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(NameEdit(dialog)->text(), QStringLiteral("one.xml"));
        QCOMPARE(dialog->directory().absolutePath(), QDir(test.Path(QString())).absolutePath());
        QCOMPARE(dialog->selectedFiles().value(0), test.Path("one.xml"));
        Cancel(dialog);
      });
      QCOMPARE(test.Show(next), std::optional<bool>(false));
      QCOMPARE(test.FileNameText(), test.Path("one.xml"));
    }
  }

  void FocusComesBackAfterTheDialog() {
    DialogTest test;
    QVERIFY(test.ready());
    QWidget* button = test.window().findChild<QPushButton*>("按钮1");
    button->setFocus();
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      QCOMPARE(QApplication::activeModalWidget(), dialog);
      Cancel(dialog);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QTRY_COMPARE(QApplication::activeWindow(), &test.window());
    QCOMPARE(QApplication::focusWidget(), button);
  }

  void NeverShown() {
    DialogTest test;
    QVERIFY(test.ready());
    QVERIFY(!test.dialog().Widget()->isVisible());
    ModalScript script;
    script.On<QFileDialog>(Cancel);
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QVERIFY(!test.dialog().Widget()->isVisible());
  }
};

QTEST_MAIN(CommonDialogControlTest)
#include "common_dialog_control_test.moc"
