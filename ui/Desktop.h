#pragma once
// The desktop as the system means it: the primary screen, not all monitors together. The PC
// mouse's virtual screen has its size, and a window lost off it is brought back onto it.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tarvik {

// The primary screen; empty when there is none.
QRect desktopRect();

// The primary screen less the desktop's panels and docks; empty when there is no screen.
QRect workAreaRect();

// The size of `window` with its frame. The platform window is created first where it does not exist
// yet: before that nothing knows the frame.
QSize outerSize(QWidget& window);

// Where a window whose outer size is `outer`, stored at `stored`, goes: one lost beyond the
// desktop's right (or bottom) edge is put flush against the work area's right (or bottom) edge,
// frame and all; a position left of or above the screen stays as stored.
QPoint bringBackOnScreen(QPoint stored, QSize outer, const QRect& desktop, const QRect& work);

// Where a window of outer size `outer` goes beside a window whose frame is `owner`, covering none
// of it: below, above, right or left of it, the first side with room in the work area `work`, lined
// up with the owner's edge. Where no side has room, the side with the most, and the window shrunk
// to it. Returns the outer rectangle.
QRect placeBeside(const QRect& owner, QSize outer, const QRect& work);

}  // namespace tarvik
