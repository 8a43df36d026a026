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
    Point m_ptInstrumentCursor;  // instrument position, 0..1023 each, y from the top
    Point m_ptPcCursor;          // integrated PC motion on the virtual screen, 0..W and 0..H
    Bool32 m_bMouseActive = 0;   // packet flag 0x10
    Bool32 m_bMouseButton = 0;   // packet flag 0x08
    Bool32 m_bShift = 0;         // packet flag 0x04, also the Shft button
    Bool32 m_bCtrl = 0;          // packet flag 0x02, also the Ctrl button
    Bool32 m_bEsc = 0;           // the Esc button; never on the wire as a flag
    Bool32 m_bMouseMode = 0;     // the Mouse button: PC mouse capture on
};

}  // namespace tarvik
