#include "ui/dialogs/message_box.h"

#include <QMessageBox>

#include "ui/gbk_text.h"

namespace lirrevo::ui {

void ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, GbkToDisplayText(DefaultMessageTitle),
                  GbkToDisplayText(text), QMessageBox::Ok, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace lirrevo::ui
