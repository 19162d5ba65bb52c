#include "ui/dialogs/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>
#include <algorithm>

#include "ui/widget_text.h"

namespace lirrevo::ui {
namespace {

// The outer width that the window's frame needs to show its whole title
// beside the icon and the close button.
int TitleFrameWidth(const QWidget& box) {
  // The frame's title bar holds the window icon, the title and the buttons;
  // each is about as wide as the bar is high. Some window managers draw
  // minimise and maximise buttons whatever the window asks for, so room is
  // kept for three buttons, and for a margin at either end.
  constexpr int kIconButtonsAndMargins = 5;
  const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
  const int bar =
      std::max(box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box), title.height());
  return title.horizontalAdvance(box.windowTitle()) + kIconButtonsAndMargins * bar;
}

}  // namespace

void FitBoxToTitle(QMessageBox& box) {
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint);
  // The box sizes itself to its layout when it is shown: a spacer as wide as
  // the title needs, across the whole layout, keeps it from being narrower.
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const QMargins margins = grid->contentsMargins();
  const int width = TitleFrameWidth(box) - margins.left() - margins.right();
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

void ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, TextToDisplayText(DefaultMessageTitle),
                  TextToDisplayText(text), QMessageBox::Ok, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  FitBoxToTitle(box);
  box.exec();
}

bool AskQuestion(const std::string& text) {
  QMessageBox box(QMessageBox::Question, TextToDisplayText(DefaultMessageTitle),
                  TextToDisplayText(text), QMessageBox::Yes | QMessageBox::No, nullptr);
  box.setWindowModality(Qt::ApplicationModal);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  FitBoxToTitle(box);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace lirrevo::ui
