#include "ui/window_geometry.h"

#include <QPoint>
#include <QSize>

namespace lirrevo::ui {

QPoint CentredPosition(const QSize& screen, const QSize& outer) {
  return QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

}  // namespace lirrevo::ui
