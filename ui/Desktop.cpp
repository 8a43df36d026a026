#include "ui/Desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarvik {

QRect DesktopRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

QRect WorkAreaRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QSize OuterSize(QWidget& window) {
    (void)window.winId();
    return window.frameGeometry().size();
}

QPoint BringBackOnScreen(QPoint stored, QSize outer, const QRect& desktop, const QRect& work) {
    // Edges as the system gives them: one past the last pixel.
    if (stored.x() > desktop.x() + desktop.width()) stored.setX(work.x() + work.width() - outer.width());
    if (stored.y() > desktop.y() + desktop.height()) stored.setY(work.y() + work.height() - outer.height());
    return stored;
}

}  // namespace tarvik
