#include "ui/controls/common_dialog_control.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "dialog_steps.h"
#include "modal_script.h"
#include "test_home.h"
#include "test_window.h"
#include "ui/controls/property_numbers.h"
#include "ui/window_template.h"

using lirrevo::ui::DialogName;

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
    return dynamic_cast<CommonDialogControl&>(*test_.window().FindControl(DialogName));
  }
  QString Path(const QString& name) const { return folder_.filePath(name); }
  bool Set(int number, const PropertyValue& value) {
    return window().SetProperty(DialogName, number, value);
  }
  std::string FileName() {
    return std::get<std::string>(*window().GetProperty(DialogName, common_dialog::FileName));
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
    if (entry.name != DialogName) continue;
    for (auto& setting : entry.settings) {
      for (const auto& change : changes) {
        if (setting.number == change.number) setting.value = change.value;
      }
    }
  }
  return changed;
}

void Cancel(QFileDialog* dialog) { dialog->reject(); }

// Sets an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value.toUtf8());
  }
  ~ScopedVariable() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

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
    QTest::newRow("filter index") << InitialFilterIndex << Int(4) << Int(4);
    QTest::newRow("filter index below 0 becomes 0") << InitialFilterIndex << Int(-3) << Int(0);
    QTest::newRow("title") << Title << Text("\xB1\xA3\xB4\xE6") << Text("\xB1\xA3\xB4\xE6");
    QTest::newRow("file name") << FileName << Text("/tmp/a.xml") << Text("/tmp/a.xml");
    QTest::newRow("create prompt") << CreatePrompt << Bool(true) << Bool(true);
    QTest::newRow("font colour, the last kinds' first") << FontColor << Int(0xFF) << Int(0xFF);
    QTest::newRow("help topic, the last setting") << HelpTopic << Int(9) << Int(9);
  }
  void WritesAndReads() {
    QFETCH(int, number);
    QFETCH(PropertyValue, written);
    QFETCH(PropertyValue, read);
    TestWindow test;
    QVERIFY(test.window().SetProperty(DialogName, number, written));
    QVERIFY(test.window().GetProperty(DialogName, number) == read);
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
    const auto before = test.window().GetProperty(DialogName, number);
    QVERIFY(!test.window().SetProperty(DialogName, number, written));
    QVERIFY(test.window().GetProperty(DialogName, number) == before);
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

  // The first dialog starts in the user's Documents folder as the desktop
  // names it, else in the home folder; never in the current folder, which is
  // the program's own.
  void FirstDialogStartsInDocumentsOrHome_data() {
    QTest::addColumn<QString>("user_dirs");  // line of user-dirs.dirs; empty: no file
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("start");
    QTest::newRow("no documents folder: home") << QString() << QStringList{} << QString();
    QTest::newRow("documents folder") << QString() << QStringList{"Documents"} << "Documents";
    QTest::newRow("folder named by the desktop")
        << "XDG_DOCUMENTS_DIR=\"$HOME/文档\"" << QStringList{"Documents", "文档"} << "文档";
    QTest::newRow("named folder missing: home")
        << "XDG_DOCUMENTS_DIR=\"$HOME/文档\"" << QStringList{"Documents"} << QString();
  }
  void FirstDialogStartsInDocumentsOrHome() {
    QFETCH(QString, user_dirs);
    QFETCH(QStringList, folders);
    QFETCH(QString, start);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QDir dir(home.path());
    for (const QString& folder : folders) QVERIFY(dir.mkpath(folder));
    QVERIFY(dir.mkpath("config"));
    if (!user_dirs.isEmpty()) {
      QFile file(dir.filePath("config/user-dirs.dirs"));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(user_dirs.toUtf8() + '\n');
    }
    const ScopedVariable home_variable("HOME", home.path());
    const ScopedVariable config_variable("XDG_CONFIG_HOME", dir.filePath("config"));
    DialogTest test;
    QVERIFY(test.ready());
    QString shown;
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) {
      shown = dialog->directory().absolutePath();
      Cancel(dialog);
    });
    QCOMPARE(test.Show(script), std::optional<bool>(false));
    QCOMPARE(shown, start.isEmpty() ? home.path() : dir.filePath(start));
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

  void TypedNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("bare name gets .xml") << "report"
                                         << "report.xml";
    QTest::newRow("own extension kept") << "report.txt"
                                        << "report.txt";
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
    // Each later dialog starts with the chosen file, also after a cancelled one.
    for (int run = 0; run < 2; ++run) {
      QString started;
      ModalScript again;
      again.On<QFileDialog>([&](QFileDialog* dialog) {
        started = dialog->selectedFiles().value(0);
        Cancel(dialog);
      });
      QCOMPARE(test.Show(again), std::optional<bool>(false));
      QCOMPARE(started, test.Path(chosen));
    }
  }

  // The path goes to the file system as the dialog gave it; read as the
  // system's text, the characters GBK lacks take their four-byte codes.
  void FileNameOutsideGbkKeepsItsBytes() {
    DialogTest test;
    QVERIFY(test.ready());
    const QString folder = test.Path(QStringLiteral("폴더😀"));
    QVERIFY(QDir().mkpath(folder));
    ModalScript script;
    script.On<QFileDialog>([&](QFileDialog* dialog) { EnterName(dialog, folder + "/a"); });
    QCOMPARE(test.Show(script), std::optional<bool>(true));
    QCOMPARE(test.dialog().FileNameBytes(), (folder + "/a.xml").toUtf8().toStdString());
    bool exact = false;
    test.window().GetProperty(DialogName, common_dialog::FileName, &exact);
    QVERIFY(exact);
    // "폴더😀/a.xml"
    const std::string tail = "\x83\x35\xDE\x33\x82\x39\x8F\x31\x94\x39\xFC\x36/a.xml";
    QVERIFY(test.FileName().ends_with(tail));
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
};

LIRREVO_UI_TEST_MAIN(CommonDialogControlTest)
#include "common_dialog_control_test.moc"
