#include "ui/placeholder_control.h"

#include <QFrame>
#include <QPalette>
#include <QWidget>

namespace lirrevo::ui {

DialogPlaceholder::DialogPlaceholder(const ControlTemplate& spec, QWidget* parent)
    : Control(spec, new QWidget(parent)) {
  Widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
}

WebPanelPlaceholder::WebPanelPlaceholder(const ControlTemplate& spec, QWidget* parent)
    : Control(spec, new QFrame(parent)) {
  auto* frame = static_cast<QFrame*>(Widget());
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setLineWidth(1);
  frame->setBackgroundRole(QPalette::Base);
  frame->setAutoFillBackground(true);
}

}  // namespace lirrevo::ui
