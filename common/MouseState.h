#pragma once
// The mouse and modifier state that the PC keyboard, the PC mouse, the instrument's own mouse and
// automation clients all write, and that every outgoing mouse packet is built from. The window
// embeds one of these; the field names are the ones the rest of the program knows them by.
#include <cstdint>

#include "common/Win32Codes.h"

namespace tarvik {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct MouseState {
    Point m_instrumentCursor;   // instrument position, 0..1023 each, y from the top
    Point m_pcCursor;           // integrated PC motion on the virtual screen, 0..W and 0..H
    int32_t m_mouseActive = 0;  // packet flag 0x10
    int32_t m_mouseButton = 0;  // packet flag 0x08
    int32_t m_shift = 0;        // packet flag 0x04, also the Shft button
    int32_t m_ctrl = 0;         // packet flag 0x02, also the Ctrl button
    int32_t m_esc = 0;          // the Esc button; never on the wire as a flag
    int32_t m_mouseMode = 0;    // the Mouse button: PC mouse capture on
};

}  // namespace tarvik
