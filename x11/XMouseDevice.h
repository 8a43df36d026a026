#pragma once
// The PC mouse on an X server, X11 or XWayland: XInput 2 raw events read on a connection of the
// capture's own, watched by the event loop of the thread that opens the device, and an active
// pointer grab on the window (confined to it, cursor hidden) as the exclusive capture. The grab
// ends with mouse mode, at shutdown, and with the process, since the server drops the grabs of a
// connection that closes.
#include <memory>
#include <string>

#include "x11/MouseDevice.h"

namespace tarvik::mouse {

// Null when the display cannot be opened or lacks XInput 2.1 or later. `window` is the X window
// mouse mode captures for; `displayName` empty means $DISPLAY. Needs a QCoreApplication; the
// device is used on its thread only.
std::unique_ptr<MouseDevice> openXMouseDevice(const std::string& displayName, unsigned long window);

}  // namespace tarvik::mouse
