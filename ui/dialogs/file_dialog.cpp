#include "ui/dialogs/file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

namespace lirrevo::ui {
namespace {

// Qt's dialog accepts any name in a folder that does not exist and never
// asks before a new file; these rules are checked here before it accepts.
class RuledFileDialog : public QFileDialog {
 public:
  RuledFileDialog(const FileDialogRequest& request, QWidget* owner)
      : QFileDialog(owner), request_(request) {}

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return QFileDialog::accept();
    const QFileInfo chosen(files.first());
    // A folder's name opens that folder, as Qt's dialog does.
    if (chosen.isDir()) return QFileDialog::accept();
    if (request_.path_must_exist && !chosen.absoluteDir().exists()) {
      QMessageBox::warning(this, windowTitle(),
                           QStringLiteral("%1\n路径不存在。\n请检查路径是否正确。")
                               .arg(QDir::toNativeSeparators(chosen.filePath())));
      return;
    }
    if (request_.create_prompt && !chosen.exists() && fileMode() != ExistingFile &&
        QMessageBox::question(
            this, windowTitle(),
            QStringLiteral("%1\n该文件不存在。\n要创建该文件吗？").arg(chosen.fileName()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
    QFileDialog::accept();
  }

 private:
  FileDialogRequest request_;
};

// Qt's dialog keeps its folder history, view and column widths in the
// user's settings (QtProject.conf) and reads them back at the next start; the
// program keeps nothing between runs. The settings of the user scope go to a
// folder of this run, removed when it ends, so each dialog of the run still
// finds what the one before it left. Where no such folder can be made, they
// go to a path that cannot exist, and nothing is written.
QTemporaryDir* RunSettingsFolder() {
  static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lirrevo-settings-XXXXXX"));
  return &folder;
}

void RemoveRunSettings() {
  try {
    RunSettingsFolder()->remove();
  } catch (...) {
    // Without memory to walk the folder, it stays in the temporary folder.
  }
}

void KeepDialogSettingsForTheRun() {
  static const bool kept = [] {
    QTemporaryDir* folder = RunSettingsFolder();
    const QString path = folder->isValid() ? folder->path() : QStringLiteral("/dev/null/lirrevo");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    // A fatal error ends the process without running the folder's destructor.
    std::at_quick_exit(RemoveRunSettings);
    return true;
  }();
  (void)kept;
}

// Qt's dialog would start in the current folder, which is the program's own
// folder (for an installed program, one the user cannot write to).
QString DefaultFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
  return QDir::homePath();
}

void Configure(QFileDialog& dialog, const FileDialogRequest& request) {
  // Qt's own dialog everywhere, so that the rules above always apply.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwrite_prompt);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  const bool existing_only = !request.save && request.file_must_exist;
  dialog.setFileMode(existing_only ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setDirectory(request.folder.isEmpty() ? DefaultFolder() : request.folder);
  dialog.setDefaultSuffix(request.default_extension);
  if (!request.name_filters.isEmpty()) {
    dialog.setNameFilters(request.name_filters);
    dialog.selectNameFilter(request.name_filters.value(request.selected_filter));
  }
  if (!request.file_name.isEmpty()) dialog.selectFile(request.file_name);
}

}  // namespace

QString NameFilter(const QString& label, const QString& patterns) {
  QString qt_patterns = patterns;
  qt_patterns.replace(u';', u' ');
  return label + QStringLiteral(" (") + qt_patterns + u')';
}

std::optional<QString> RunFileDialog(const FileDialogRequest& request, QWidget* owner) {
  KeepDialogSettingsForTheRun();
  const QPointer<QWidget> had_focus = QApplication::focusWidget();
  RuledFileDialog dialog(request, owner);
  Configure(dialog, request);
  const bool confirmed = dialog.exec() == QDialog::Accepted;
  if (had_focus) {
    had_focus->activateWindow();
    had_focus->setFocus(Qt::ActiveWindowFocusReason);
  }
  const QStringList files = dialog.selectedFiles();
  if (!confirmed || files.isEmpty()) return std::nullopt;
  return files.first();
}

}  // namespace lirrevo::ui
