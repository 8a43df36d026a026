#include "x11/RawMouseInput.h"

#include <cmath>
#include <limits>

namespace tarvik::mouse {
namespace {

// The X button number's place in the read: left, right, middle, fourth, fifth, then the rest;
// -1 for the wheels.
int ButtonIndex(uint32_t button) {
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
int32_t TakeWhole(double& value) {
    constexpr double kLimit = std::numeric_limits<int32_t>::max();
    const double whole = std::trunc(value);
    value -= whole;
    if (whole > kLimit) return std::numeric_limits<int32_t>::max();
    if (whole < -kLimit) return -std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(whole);
}

bool Usable(double value) { return std::isfinite(value); }

}  // namespace

void CRawMouseInput::Reset() {
    dx_ = dy_ = wheel_ = 0;
    down_ = reported_ = toggled_ = 0;
}

bool CRawMouseInput::AddMotion(double dx, double dy) {
    if (!Usable(dx) || !Usable(dy) || (dx == 0 && dy == 0)) return false;
    dx_ += dx;
    dy_ += dy;
    return true;
}

bool CRawMouseInput::AddWheel(double notches) {
    if (!Usable(notches) || notches == 0) return false;
    wheel_ += notches * kWheelDelta;
    return true;
}

bool CRawMouseInput::AddButton(uint32_t button, bool pressed) {
    if (button == 4 || button == 5) return pressed && AddWheel(button == 4 ? 1.0 : -1.0);
    const int index = ButtonIndex(button);
    if (index < 0) return false;
    const auto bit = static_cast<uint8_t>(1u << index);
    // A press of a held button (a second device on the same pointer) changes nothing.
    if (((down_ & bit) != 0) == pressed) return false;
    down_ ^= bit;
    toggled_ |= bit;
    return true;
}

MouseDeviceState CRawMouseInput::Take(bool& more) {
    MouseDeviceState state;
    state.lX = TakeWhole(dx_);
    state.lY = TakeWhole(dy_);
    state.lZ = TakeWhole(wheel_);
    // A button that moved since the last read reads as the other state first; if it has
    // already moved back, the next read shows that.
    const auto shown = static_cast<uint8_t>(reported_ ^ toggled_);
    for (size_t i = 0; i < state.rgbButtons.size(); ++i) { state.rgbButtons[i] = (shown >> i) & 1u ? kButtonDown : 0; }
    more = shown != down_;
    toggled_ = static_cast<uint8_t>(shown ^ down_);
    reported_ = shown;
    return state;
}

}  // namespace tarvik::mouse
