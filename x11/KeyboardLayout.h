#pragma once
// The active keyboard layout, asked for the symbols it puts on a key. It changes while the program
// runs (a layout switch, setxkbmap), so each answer is the layout of that moment.
#include <cstdint>
#include <memory>
#include <string>

namespace tarvik::keyboard {

// X keysyms without and with Shift; zero where the layout has none.
struct KeySymbols {
    uint32_t unshifted = 0;
    uint32_t shifted = 0;
};

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The symbols of X keycode `keycode` in the active group of the active layout.
    virtual KeySymbols symbolsOf(uint32_t keycode) = 0;
};

// The layout of X display `displayName`, on a connection of its own; null when the display cannot
// be opened or has no keyboard extension, and keys then go by their position alone.
std::unique_ptr<KeyboardLayout> openXkbLayout(const std::string& displayName);

}  // namespace tarvik::keyboard
