#pragma once
// A Linux key event to the Windows virtual-key code Windows would give it. As there, the virtual key
// of a letter or a digit follows the active layout (the German Z key is VK_Z wherever it sits),
// and a punctuation key is named by the US key that carries the same character unshifted (a
// French ; key is VK_OEM_1), as Windows does for + , - . on every layout and for all of them on
// the US-derived ones. Any other key (national letters, dead keys, F-keys, the cursor block) is
// named by its POSITION on a US board. The keypad's digit keys follow Num Lock through their
// keysym, as virtual keys do.
#include <cstdint>

namespace tarvik {

// A key event as the window gets it. Any field may be zero when the platform does not know it.
struct LinuxKeyEvent {
    uint32_t nativeScanCode = 0;  // X keycode: evdev code + 8
    uint32_t keysym = 0;          // X keysym of the event (nativeVirtualKey)
    int qtKey = 0;                // the toolkit's key number, used when there is no native code
    bool keypad = false;          // the event came from the numeric keypad
    // The symbols the active layout puts on this key without and with Shift (X keysyms).
    uint32_t layoutUnshifted = 0;
    uint32_t layoutShifted = 0;
};

// 0 means no virtual key: the event is left to the desktop.
// The virtual key a key's layout symbols name: its letter, its digit (on either level, as on a
// French board's top row), or the US punctuation key of its unshifted character; 0 when they name
// none of these, and the key's position decides.
uint32_t virtualKeyFromLayout(uint32_t unshifted, uint32_t shifted);
uint32_t virtualKeyFromX11(uint32_t xKeycode, uint32_t keysym, bool keypad);
uint32_t virtualKeyFromQtKey(int qtKey, bool keypad);
// The layout first, then the native code's position; the toolkit's key number when neither gives
// anything.
uint32_t virtualKeyFor(const LinuxKeyEvent& event);

}  // namespace tarvik
