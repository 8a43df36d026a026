#pragma once
// What raw mouse events add up to between two reads of the device.
#include <cstdint>

#include "x11/MouseDevice.h"

namespace tarvik::mouse {

class RawMouseInput {
public:
    // Nothing pending and every button up, as at the moment the mouse is acquired.
    void reset();

    // Each returns true when a read would now return something new. Buttons are numbered as X
    // numbers them: 1 left, 2 middle, 3 right, 4 and 5 the wheel away and toward the user (one
    // notch per press), 6 and 7 a sideways wheel (ignored), 8 back, 9 forward, and so on.
    bool addMotion(double dx, double dy);
    bool addButton(uint32_t button, bool pressed);
    // Wheel travel in notches, positive away from the user; fractions add up across events.
    bool addWheel(double notches);

    // What accumulated since the previous Take. A button pressed and released again since then
    // reads as pressed this time; `more` is then set, and the next Take gives the release, so a
    // quick click is never lost between two reads.
    MouseDeviceState take(bool& more);

private:
    double m_dx = 0;
    double m_dy = 0;
    double m_wheel = 0;      // in units of WheelDelta
    uint8_t m_down = 0;      // bit per button index: held now
    uint8_t m_reported = 0;  // bit per button index: held as the last read said
    uint8_t m_toggled = 0;   // bit per button index: went down or up since the last read
};

}  // namespace tarvik::mouse
