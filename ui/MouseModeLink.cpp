#include "ui/MouseModeLink.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPushButton>

#include "platform/mouse/OpenOnFirstUse.h"
#include "platform/mouse/XMouseDevice.h"
#include "ui/Desktop.h"
#include "ui/TarvikDlg.h"

namespace tarvik {

CMouseModeLink::CMouseModeLink(CTarvikDlg& window) : window_(window) {
    for (auto [timer, id] : {std::pair{&suppressContextMenu_, TIMER_SUPPRESS_CONTEXT_MENU},
                             std::pair{&packetThrottle_, TIMER_PACKET_THROTTLE}}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, &window_, [this, id = id] { window_.OnTimer(id); });
    }
}

std::unique_ptr<IMouseDevice> CMouseModeLink::OpenDevice() {
    // Without an X display there is no capture at all, and the start-up says so at once.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    // The toolkit's own display connection is the one named by DISPLAY; the capture opens its own
    // when mouse mode is first entered (and then the window is shown, so it has its X window).
    return mouse::OpenOnFirstUse(
        [this] { return mouse::OpenXMouseDevice(std::string(), static_cast<unsigned long>(window_.winId())); });
}

void CMouseModeLink::SendMousePacket() { window_.SendMousePacket(); }
void CMouseModeLink::RefreshControls() { window_.UpdateData(false); }
void CMouseModeLink::ShowAlertId(uint32_t id) { window_.ShowAlertId(id); }

void CMouseModeLink::SetMouseImage(bool on) {
    const QPixmap& image = on ? window_.m_hbmMouseOn : window_.m_hbmMouseOff;
    if (window_.m_btnMouse && !image.isNull()) window_.m_btnMouse->setIcon(QIcon(image));
}

QTimer* CMouseModeLink::TimerFor(uint32_t id) {
    if (id == TIMER_SUPPRESS_CONTEXT_MENU) return &suppressContextMenu_;
    if (id == TIMER_PACKET_THROTTLE) return &packetThrottle_;
    return nullptr;
}

void CMouseModeLink::SetTimer(uint32_t id, uint32_t milliseconds) {
    if (QTimer* timer = TimerFor(id)) timer->start(static_cast<int>(milliseconds));
}

void CMouseModeLink::KillTimer(uint32_t id) {
    if (QTimer* timer = TimerFor(id)) timer->stop();
}

DesktopSize CMouseModeLink::GetDesktopSize() {
    const QRect desktop = DesktopRect();
    return {desktop.width(), desktop.height()};
}

Point CMouseModeLink::GetCursorPos() {
    const QPoint cursor = QCursor::pos() - DesktopRect().topLeft();
    return {cursor.x(), cursor.y()};
}

void CMouseModeLink::SetCursorPos(Point position) {
    QCursor::setPos(DesktopRect().topLeft() + QPoint(position.x, position.y));
}

}  // namespace tarvik
