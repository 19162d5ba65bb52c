// Steps on the file dialog and on message boxes, as a user takes them.
#pragma once

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

namespace lirrevo::ui::testing {

inline QLineEdit* NameEdit(QFileDialog* dialog) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// Enters a name (or a path) in the name box and presses Enter, as pasting
// it and pressing Enter would.
inline void EnterName(QFileDialog* dialog, const QString& name) {
  QLineEdit* edit = NameEdit(dialog);
  QVERIFY(edit != nullptr);
  edit->setText(name);
  QTest::keyClick(edit, Qt::Key_Return);
}

inline void Press(QMessageBox* box, QMessageBox::StandardButton which) {
  QAbstractButton* button = box->button(which);
  QVERIFY(button != nullptr);
  button->click();
}

}  // namespace lirrevo::ui::testing
