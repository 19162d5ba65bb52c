// Where the window goes on the screen.
#pragma once

class QPoint;
class QSize;

namespace lirrevo::ui {

// The top-left corner of a window of outer size `outer` centred on a screen
// of size `screen`: each half is a signed division truncating toward zero, so
// on a smaller screen it is negative and the window starts partly off screen.
QPoint CentredPosition(const QSize& screen, const QSize& outer);

}  // namespace lirrevo::ui
