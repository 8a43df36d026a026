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

using mouse::IMouseDevice;
using mouse::kButtonDown;
using mouse::kWheelDelta;
using mouse::MouseDeviceState;
using mouse::SystemMouseSettings;

inline constexpr uint32_t TIMER_SUPPRESS_CONTEXT_MENU = 101;
inline constexpr uint32_t TIMER_PACKET_THROTTLE = 102;
inline constexpr uint32_t kSuppressContextMenuMs = 250;
inline constexpr uint32_t kPacketThrottleMs = 20;

inline constexpr int32_t kStartCentre = 0;
inline constexpr int32_t kStartPcPosition = 1;
inline constexpr int32_t kStartLastPosition = 2;

struct DesktopSize {
    int32_t width = 0;
    int32_t height = 0;
};

// What mouse mode needs of the window it belongs to.
class IMouseHost {
public:
    virtual ~IMouseHost() = default;
    virtual void SendMousePacket() = 0;
    // Fields to controls: the toggle buttons follow Esc, Shift, Ctrl and mouse mode.
    virtual void RefreshControls() = 0;
    // The Mouse button's image for mouse mode on or off.
    virtual void SetMouseImage(bool on) = 0;
    virtual void ShowAlertId(uint32_t id) = 0;
    // One timer per id: setting it again restarts it; when it fires the window calls OnTimer.
    virtual void SetTimer(uint32_t id, uint32_t milliseconds) = 0;
    virtual void KillTimer(uint32_t id) = 0;
    // The desktop is the primary screen; cursor positions count from its top-left corner.
    virtual DesktopSize GetDesktopSize() = 0;
    virtual Point GetCursorPos() = 0;
    virtual void SetCursorPos(Point position) = 0;
};

class CMouseEmulation {
public:
    CMouseEmulation(MouseState& state, IMouseHost& host, IPortSender& ports);

    // The window's initialisation: measures the desktop and puts both cursors at its centre.
    void Initialise();
    // Takes `device` (null when the desktop offers no capture); what it reads is handed to
    // OnMouseData. False when there is no device, or one was already set up.
    bool InitDirectInput(std::unique_ptr<IMouseDevice> device);

    bool EnterMouseMode();
    void LeaveMouseMode();
    // The device has input: reads everything it gathered and applies it.
    void OnMouseData();
    // Timers 101 and 102; any other id is not ours (false).
    bool OnTimer(uint32_t id);
    // The mouse's part of the shutdown work: first the capture ends (before the last packet),
    // then, once the lines are closed, the device goes and nothing reads the mouse any more.
    void UnacquireDevice();
    void ReleaseDevice();

    Point ScreenToInstrument(Point screen) const;
    Point InstrumentToScreen(Point instrument) const;

    // The device state as the window's record names it.
    Bool32 m_bDirectInputReady = 0;
    Bool32 m_bSuppressContextMenu = 0;
    Bool32 m_bPacketThrottle = 0;
    int32_t m_nDesktopWidth = 0;
    int32_t m_nDesktopHeight = 0;
    std::array<int32_t, 3> m_mouseThresholds{0, 0, 0};
    int32_t m_nSystemMouseSpeed = 10;
    Bool32 m_bSwapButtons = 0;
    double m_dMouseScale = 1.0;
    int32_t m_nWheelAccumulator = 0;
    int32_t m_nMouseSpeed = 50;
    int32_t m_nMouseStartPosition = 0;
    Point m_ptSavedCursor;

private:
    void ApplyStartPosition();
    // The right button, or the capture lost: mouse mode ends and the button comes up.
    void EndMouseMode();
    // One read; false when it ended mouse mode.
    bool applyRead(const MouseDeviceState& data);
    bool TakeButtons(const MouseDeviceState& data);
    void TakeWheel(int32_t delta);
    void TakeMotion(int32_t dx, int32_t dy);
    void SendPosition(Point position);

    MouseState& state_;
    IMouseHost& host_;
    IPortSender& ports_;
    std::unique_ptr<IMouseDevice> m_pMouseDevice;
    bool acquired_ = false;         // the device is acquired for the current mouse mode
    bool positionPending_ = false;  // a position was held back by the throttle
};

}  // namespace tarvik
