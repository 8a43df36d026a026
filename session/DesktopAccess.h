#pragma once
// What the session needs of the desktop it runs on, for mouse mode: the primary screen's size,
// the PC cursor on it, and a capture of the PC mouse for the window. The window's toolkit
// provides it; a session without one sees an empty desktop and has no capture.
#include <memory>

#include "common/MouseState.h"
#include "input/MouseEmulation.h"

namespace tarvik {

class DesktopAccess {
public:
    virtual ~DesktopAccess() = default;
    // Cursor positions count from the primary screen's top-left corner.
    virtual DesktopSize desktopSize() = 0;
    virtual Point cursorPos() = 0;
    virtual void setCursorPos(Point position) = 0;
    // Null where the desktop offers no capture.
    virtual std::unique_ptr<MouseDevice> openMouseDevice() = 0;
};

}  // namespace tarvik
