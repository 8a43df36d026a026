#include "ui/WindowDesktop.h"

#include <string>

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include "ui/Desktop.h"
#include "x11/OpenOnFirstUse.h"
#include "x11/XMouseDevice.h"

namespace tarvik {

std::unique_ptr<IMouseDevice> WindowDesktop::openMouseDevice() {
    // Without an X display there is no capture at all, and the start-up says so at once.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    // The toolkit's own display connection is the one named by DISPLAY; the capture opens its own
    // when mouse mode is first entered (and then the window is shown, so it has its X window).
    return mouse::OpenOnFirstUse(
        [this] { return mouse::OpenXMouseDevice(std::string(), static_cast<unsigned long>(m_window.winId())); });
}

DesktopSize WindowDesktop::desktopSize() {
    const QRect desktop = DesktopRect();
    return {desktop.width(), desktop.height()};
}

Point WindowDesktop::cursorPos() {
    const QPoint cursor = QCursor::pos() - DesktopRect().topLeft();
    return {cursor.x(), cursor.y()};
}

void WindowDesktop::setCursorPos(Point position) {
    QCursor::setPos(DesktopRect().topLeft() + QPoint(position.x, position.y));
}

}  // namespace tarvik
