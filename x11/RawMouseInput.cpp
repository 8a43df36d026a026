#include "x11/RawMouseInput.h"

#include <cmath>
#include <limits>

namespace tarvik::mouse {
namespace {

// The X button number's place in the read: left, right, middle, fourth, fifth, then the rest;
// -1 for the wheels.
int buttonIndex(uint32_t button) {
    switch (button) {
        case 1: return 0;
        case 3: return 1;
        case 2: return 2;
        case 8: return 3;
        case 9: return 4;
        case 10: return 5;
        case 11: return 6;
        case 12: return 7;
        default: return -1;
    }
}

// The whole counts of an accumulator, leaving the fraction for the next read.
int32_t takeWhole(double& value) {
    constexpr double Limit = std::numeric_limits<int32_t>::max();
    const double whole = std::trunc(value);
    value -= whole;
    if (whole > Limit) return std::numeric_limits<int32_t>::max();
    if (whole < -Limit) return -std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(whole);
}

bool usable(double value) { return std::isfinite(value); }

}  // namespace

void RawMouseInput::reset() {
    m_dx = m_dy = m_wheel = 0;
    m_down = m_reported = m_toggled = 0;
}

bool RawMouseInput::addMotion(double dx, double dy) {
    if (!usable(dx) || !usable(dy) || (dx == 0 && dy == 0)) return false;
    m_dx += dx;
    m_dy += dy;
    return true;
}

bool RawMouseInput::addWheel(double notches) {
    if (!usable(notches) || notches == 0) return false;
    m_wheel += notches * WheelDelta;
    return true;
}

bool RawMouseInput::addButton(uint32_t button, bool pressed) {
    if (button == 4 || button == 5) return pressed && addWheel(button == 4 ? 1.0 : -1.0);
    const int index = buttonIndex(button);
    if (index < 0) return false;
    const auto bit = static_cast<uint8_t>(1u << index);
    // A press of a held button (a second device on the same pointer) changes nothing.
    if (((m_down & bit) != 0) == pressed) return false;
    m_down ^= bit;
    m_toggled |= bit;
    return true;
}

MouseDeviceState RawMouseInput::take(bool& more) {
    MouseDeviceState state;
    state.lX = takeWhole(m_dx);
    state.lY = takeWhole(m_dy);
    state.lZ = takeWhole(m_wheel);
    // A button that moved since the last read reads as the other state first; if it has
    // already moved back, the next read shows that.
    const auto shown = static_cast<uint8_t>(m_reported ^ m_toggled);
    for (size_t i = 0; i < state.rgbButtons.size(); ++i) { state.rgbButtons[i] = (shown >> i) & 1u ? ButtonDown : 0; }
    more = shown != m_down;
    m_toggled = static_cast<uint8_t>(shown ^ m_down);
    m_reported = shown;
    return state;
}

}  // namespace tarvik::mouse
