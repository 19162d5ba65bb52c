// The modal file dialog behind the CommonDlg component: Qt's own dialog, the
// same on every desktop, with the rules that Qt's dialog does not have.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace lirrevo::ui {

struct FileDialogRequest {
  bool save = true;              // a save dialog; otherwise an open dialog
  bool create_prompt = false;    // ask before a file that does not exist is accepted
  bool file_must_exist = true;   // open dialog: only existing files are accepted
  bool overwrite_prompt = true;  // save dialog: ask before an existing file is accepted
  bool path_must_exist = true;   // the folder of the chosen name must exist
  QStringList name_filters;      // Qt's "label (patterns)" form; empty: no filter list
  int selected_filter = 0;       // index into name_filters
  QString title;                 // empty: the dialog's default title
  QString folder;                // empty: Documents, or home when there is none
  QString default_extension;     // without the dot; empty: none
  QString file_name;             // initial name or full path; empty: none
};

// A filter pair in Qt's form: the label, then the patterns in parentheses.
// The dialog shows only the label.
QString NameFilter(const QString& label, const QString& patterns);

// Runs the dialog modally over `owner` (centred on it, the owner taking no
// input meanwhile) and gives the full path that the user confirmed, or
// nullopt when the dialog was cancelled or closed. The focus goes back to
// the widget that had it before.
std::optional<QString> RunFileDialog(const FileDialogRequest& request, QWidget* owner);

}  // namespace lirrevo::ui
