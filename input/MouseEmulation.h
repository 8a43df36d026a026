#pragma once
// Mouse mode: the captured PC mouse drives the instrument's cursor. Relative counts are scaled
// by the speed setting and the desktop's pointer settings, integrated on a virtual screen the size
// of the desktop and sent as 10-bit instrument positions, at most one position every 20 ms; the
// middle, fourth and fifth buttons and the wheel stand in for Esc, Ctrl, Shift and Page Up/Down;
// the right button ends the mode.
#include <array>
#include <cstdint>
#include <memory>

#include "common/MouseState.h"
#include "common/PortSender.h"
#include "common/Win32Codes.h"
#include "x11/MouseDevice.h"

namespace tarvik {

using mouse::ButtonDown;
using mouse::MouseDevice;
using mouse::MouseDeviceState;
using mouse::SystemMouseSettings;
using mouse::WheelDelta;

inline constexpr uint32_t TIMER_SUPPRESS_CONTEXT_MENU = 101;
inline constexpr uint32_t TIMER_PACKET_THROTTLE = 102;
inline constexpr uint32_t SuppressContextMenuMs = 250;
inline constexpr uint32_t PacketThrottleMs = 20;

inline constexpr int32_t StartCentre = 0;
inline constexpr int32_t StartPcPosition = 1;
inline constexpr int32_t StartLastPosition = 2;

struct DesktopSize {
    int32_t width = 0;
    int32_t height = 0;
};

// What mouse mode needs of the window it belongs to.
class MouseHost {
public:
    virtual ~MouseHost() = default;
    virtual void sendMousePacket() = 0;
    // Fields to controls: the toggle buttons follow Esc, Shift, Ctrl and mouse mode.
    virtual void refreshControls() = 0;
    // The Mouse button's image for mouse mode on or off.
    virtual void setMouseImage(bool on) = 0;
    virtual void showAlertId(uint32_t id) = 0;
    // One timer per id: setting it again restarts it; when it fires the window calls onTimer.
    virtual void setTimer(uint32_t id, uint32_t milliseconds) = 0;
    virtual void stopTimer(uint32_t id) = 0;
    // The desktop is the primary screen; cursor positions count from its top-left corner.
    virtual DesktopSize getDesktopSize() = 0;
    virtual Point getCursorPos() = 0;
    virtual void setCursorPos(Point position) = 0;
};

class MouseEmulation {
public:
    MouseEmulation(MouseState& state, MouseHost& host, PortSender& ports);

    // The window's initialisation: measures the desktop and puts both cursors at its centre.
    void initialise();
    // Takes `device` (null when the desktop offers no capture); what it reads is handed to
    // onMouseData. False when there is no device, or one was already set up.
    bool initDirectInput(std::unique_ptr<MouseDevice> device);

    bool enterMouseMode();
    void leaveMouseMode();
    // The device has input: reads everything it gathered and applies it.
    void onMouseData();
    // Timers 101 and 102; any other id is not ours (false).
    bool onTimer(uint32_t id);
    // The mouse's part of the shutdown work: first the capture ends (before the last packet),
    // then, once the lines are closed, the device goes and nothing reads the mouse any more.
    void unacquireDevice();
    void releaseDevice();

    Point screenToInstrument(Point screen) const;
    Point instrumentToScreen(Point instrument) const;

    // The device state as the window's record names it.
    int32_t m_directInputReady = 0;
    int32_t m_suppressContextMenu = 0;
    int32_t m_packetThrottle = 0;
    int32_t m_desktopWidth = 0;
    int32_t m_desktopHeight = 0;
    std::array<int32_t, 3> m_mouseThresholds{0, 0, 0};
    int32_t m_systemMouseSpeed = 10;
    int32_t m_swapButtons = 0;
    double m_mouseScale = 1.0;
    int32_t m_wheelAccumulator = 0;
    int32_t m_mouseSpeed = 50;
    int32_t m_mouseStartPosition = 0;
    Point m_savedCursor;

private:
    void applyStartPosition();
    // The right button, or the capture lost: mouse mode ends and the button comes up.
    void endMouseMode();
    // One read; false when it ended mouse mode.
    bool applyRead(const MouseDeviceState& data);
    bool takeButtons(const MouseDeviceState& data);
    void takeWheel(int32_t delta);
    void takeMotion(int32_t dx, int32_t dy);
    void sendPosition(Point position);

    MouseState& m_state;
    MouseHost& m_host;
    PortSender& m_ports;
    std::unique_ptr<MouseDevice> m_mouseDevice;
    bool m_acquired = false;         // the device is acquired for the current mouse mode
    bool m_positionPending = false;  // a position was held back by the throttle
};

}  // namespace tarvik
