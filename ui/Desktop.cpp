#include "ui/Desktop.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarvik {
namespace {

// `size`, no larger than `room`, as near `wanted` as `room` allows.
QRect fitInto(QPoint wanted, QSize size, const QRect& room) {
    size = size.boundedTo(room.size());
    const int x = std::clamp(wanted.x(), room.left(), room.left() + room.width() - size.width());
    const int y = std::clamp(wanted.y(), room.top(), room.top() + room.height() - size.height());
    return QRect(QPoint(x, y), size);
}

int area(QSize size) { return size.isValid() ? size.width() * size.height() : 0; }

}  // namespace

QRect desktopRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

QRect workAreaRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QSize outerSize(QWidget& window) {
    (void)window.winId();
    return window.frameGeometry().size();
}

QPoint bringBackOnScreen(QPoint stored, QSize outer, const QRect& desktop, const QRect& work) {
    // Edges as the system gives them: one past the last pixel.
    if (stored.x() > desktop.x() + desktop.width()) stored.setX(work.x() + work.width() - outer.width());
    if (stored.y() > desktop.y() + desktop.height()) stored.setY(work.y() + work.height() - outer.height());
    return stored;
}

QRect placeBeside(const QRect& owner, QSize outer, const QRect& work) {
    constexpr int Gap = 8;
    struct Side {
        QRect room;
        QPoint wanted;
    };
    // The free room on each side, inside the work area, in the order tried.
    const QRect below(QPoint(work.left(), owner.bottom() + 1 + Gap), work.bottomRight());
    const QRect above(work.topLeft(), QPoint(work.right(), owner.top() - 1 - Gap));
    const QRect right(QPoint(owner.right() + 1 + Gap, work.top()), work.bottomRight());
    const QRect left(work.topLeft(), QPoint(owner.left() - 1 - Gap, work.bottom()));
    const Side sides[] = {{below, {owner.left(), below.top()}},
                          {above, {owner.left(), above.bottom() + 1 - outer.height()}},
                          {right, {right.left(), owner.top()}},
                          {left, {left.right() + 1 - outer.width(), owner.top()}}};
    const Side* best = nullptr;
    for (const Side& side : sides) {
        if (side.room.width() >= outer.width() && side.room.height() >= outer.height())
            return fitInto(side.wanted, outer, side.room);
        if (best == nullptr || area(outer.boundedTo(side.room.size())) > area(outer.boundedTo(best->room.size())))
            best = &side;
    }
    // An owner that fills the work area leaves no room: then over it, rather than off the screen.
    if (area(outer.boundedTo(best->room.size())) == 0) return fitInto(owner.topLeft(), outer, work);
    return fitInto(best->wanted, outer, best->room);
}

}  // namespace tarvik
