#include "ui/message_box.h"

#include <QMessageBox>

#include "core/generate_command.h"
#include "ui/gbk_text.h"

namespace lirrevo::ui {

void ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, GbkToDisplayText(DefaultMessageTitle),
                  GbkToDisplayText(text), QMessageBox::Ok, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace lirrevo::ui
