#pragma once
// The PC mouse as mouse mode reads it: relative counts, a wheel in units of 120 per notch and
// eight buttons, each read giving what happened since the previous one; and the desktop's
// pointer settings. One device serves the whole process, on the GUI thread.
#include <array>
#include <cstdint>
#include <functional>

namespace tarvik::mouse {

inline constexpr int32_t WheelDelta = 120;  // one notch of the wheel
inline constexpr uint8_t ButtonDown = 0x80;

// One read. Buttons, in order: left, right, middle, fourth (back), fifth (forward), then any
// further ones; a byte is ButtonDown while the button is held.
struct MouseDeviceState {
    int32_t lX = 0;
    int32_t lY = 0;
    int32_t lZ = 0;  // positive away from the user
    std::array<uint8_t, 8> rgbButtons{};
};

// The desktop's pointer settings in the terms of the speed emulation.
struct SystemMouseSettings {
    int32_t speed = 10;                          // 1 to 20; 10 leaves motion unscaled
    std::array<int32_t, 3> thresholds{0, 0, 0};  // threshold 1, threshold 2, acceleration level 0-2
    bool swapButtons = false;                    // the left-handed setting
};

class MouseDevice {
public:
    virtual ~MouseDevice() = default;

    // Called from the event loop, once for everything that arrived together, when a read would
    // return something new or fail. Never called from inside one of the calls below.
    virtual void setInputHandler(std::function<void()> handler) = 0;

    // Acquire takes the mouse exclusively for the window the device was opened for; false when
    // it cannot (the window is not shown, another program holds the pointer). Acquiring again
    // while acquired succeeds.
    virtual bool acquire() = 0;
    virtual void unacquire() = 0;
    // False when the mouse is not acquired, or no longer: the window lost the keyboard focus or
    // was hidden. The state is then not filled in. `more` is set when the read left something
    // for the next one: a button pressed and released since the previous read reads as pressed
    // now and as released next time, so a quick click is never lost.
    virtual bool getDeviceState(MouseDeviceState& state, bool& more) = 0;
    // False when the settings cannot be read; `settings` is then unchanged.
    virtual bool readSystemSettings(SystemMouseSettings& settings) = 0;
};

}  // namespace tarvik::mouse
