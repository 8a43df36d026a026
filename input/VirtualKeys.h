#pragma once
// A Linux key event to the Windows virtual-key code of the key at that POSITION on a US board, so
// the instrument's table works the same whatever layout the desktop uses. The keypad's digit keys
// follow Num Lock through their keysym, as virtual keys do.
#include <cstdint>

namespace tarvik {

// A key event as the window gets it. Any field may be zero when the platform does not know it.
struct LinuxKeyEvent {
    uint32_t nativeScanCode = 0;  // X keycode: evdev code + 8
    uint32_t keysym = 0;          // X keysym of the event (nativeVirtualKey)
    int qtKey = 0;                // the toolkit's key number, used when there is no native code
    bool keypad = false;          // the event came from the numeric keypad
};

// 0 means no virtual key: the event is left to the desktop.
uint32_t VirtualKeyFromX11(uint32_t xKeycode, uint32_t keysym, bool keypad);
uint32_t VirtualKeyFromQtKey(int qtKey, bool keypad);
// The native code first; the toolkit's key number when that gives nothing.
uint32_t VirtualKeyFor(const LinuxKeyEvent& event);

}  // namespace tarvik
