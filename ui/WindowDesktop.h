#pragma once
// The desktop as mouse mode sees it from the main window, in the toolkit's terms: the primary
// screen with the PC cursor on it, and the capture of the PC mouse for the window, which exists
// only on an X display (X11 or XWayland).
#include <memory>

#include "session/DesktopAccess.h"

class QWidget;

namespace tarvik {

class WindowDesktop : public DesktopAccess {
public:
    explicit WindowDesktop(QWidget& window) : m_window(window) {}

    DesktopSize desktopSize() override;
    Point cursorPos() override;
    void setCursorPos(Point position) override;
    // Null where the toolkit does not draw on an X display (the offscreen platform, a Wayland
    // session without XWayland).
    std::unique_ptr<MouseDevice> openMouseDevice() override;

private:
    QWidget& m_window;
};

}  // namespace tarvik
