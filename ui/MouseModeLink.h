#pragma once
// What mouse mode asks of the main window, in the toolkit's terms: its two timers, the desktop
// (the primary screen) with the PC cursor on it, the toggle buttons, and the capture of the
// PC mouse for the window, which exists only on an X display (X11 or XWayland).
#include <cstdint>
#include <memory>

#include <QTimer>

#include "input/MouseEmulation.h"

namespace tarvik {

class CTarvikDlg;

class CMouseModeLink : public IMouseHost {
public:
    explicit CMouseModeLink(CTarvikDlg& window);

    // The capture for the window, or null where the toolkit does not draw on an X display (the
    // offscreen platform, a Wayland session without XWayland).
    std::unique_ptr<IMouseDevice> OpenDevice();

    void SendMousePacket() override;
    void RefreshControls() override;
    void SetMouseImage(bool on) override;
    void ShowAlertId(uint32_t id) override;
    void SetTimer(uint32_t id, uint32_t milliseconds) override;
    void KillTimer(uint32_t id) override;
    DesktopSize GetDesktopSize() override;
    Point GetCursorPos() override;
    void SetCursorPos(Point position) override;

private:
    QTimer* TimerFor(uint32_t id);

    CTarvikDlg& window_;
    QTimer suppressContextMenu_;
    QTimer packetThrottle_;
};

}  // namespace tarvik
