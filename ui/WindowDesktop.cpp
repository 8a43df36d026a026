#include "ui/WindowDesktop.h"

#include <string>

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include "ui/Desktop.h"
#include "x11/OpenOnFirstUse.h"
#include "x11/XMouseDevice.h"

namespace tarvik {

std::unique_ptr<MouseDevice> WindowDesktop::openMouseDevice() {
    // Without an X display there is no capture at all, and the start-up says so at once.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    // The toolkit's own display connection is the one named by DISPLAY; the capture opens its own
    // when mouse mode is first entered (and then the window is shown, so it has its X window).
    return mouse::openOnFirstUse(
        [this] { return mouse::openXMouseDevice(std::string(), static_cast<unsigned long>(m_window.winId())); });
}

DesktopSize WindowDesktop::desktopSize() {
    const QRect desktop = desktopRect();
    return {desktop.width(), desktop.height()};
}

Point WindowDesktop::cursorPos() {
    const QPoint cursor = QCursor::pos() - desktopRect().topLeft();
    return {cursor.x(), cursor.y()};
}

void WindowDesktop::setCursorPos(Point position) {
    QCursor::setPos(desktopRect().topLeft() + QPoint(position.x, position.y));
}

}  // namespace tarvik
