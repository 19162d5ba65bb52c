#include "ui/placeholder_control.h"

#include <QFrame>
#include <QPalette>
#include <QWidget>

namespace lirrevo::ui {

DialogPlaceholder::DialogPlaceholder(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new QWidget(parent)) {
  Widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
}

WebPanelPlaceholder::WebPanelPlaceholder(const ControlTemplate& entry, QWidget* parent)
    : Control(entry, new QFrame(parent)) {
  auto* frame = static_cast<QFrame*>(Widget());
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setLineWidth(1);
  frame->setBackgroundRole(QPalette::Base);
  frame->setAutoFillBackground(true);
}

}  // namespace lirrevo::ui
