#include "input/MouseEmulation.h"

#include <cstdlib>
#include <utility>

#include "input/MouseMath.h"
#include "res/StringTable.h"

namespace tarvik {
namespace {

constexpr uint8_t kEscByte = 0x1B;
constexpr uint8_t kWheelAwayByte = 0x0E;    // Page Up
constexpr uint8_t kWheelTowardByte = 0x0F;  // Page Down

enum ButtonIndex { kLeft = 0, kRight = 1, kMiddle = 2, kFourth = 3, kFifth = 4 };

Bool32 Pressed(const MouseDeviceState& data, int index) { return data.rgbButtons[index] != 0 ? 1 : 0; }

}  // namespace

CMouseEmulation::CMouseEmulation(MouseState& state, IMouseHost& host, IPortSender& ports)
    : state_(state),
      host_(host),
      ports_(ports) {}

void CMouseEmulation::Initialise() {
    const DesktopSize desktop = host_.GetDesktopSize();
    m_nDesktopWidth = desktop.width;
    m_nDesktopHeight = desktop.height;
    state_.m_ptPcCursor = Point{m_nDesktopWidth / 2, m_nDesktopHeight / 2};
    state_.m_ptInstrumentCursor = ScreenToInstrument(state_.m_ptPcCursor);
}

bool CMouseEmulation::InitDirectInput(std::unique_ptr<IMouseDevice> device) {
    if (m_pMouseDevice || !device) return false;
    m_pMouseDevice = std::move(device);
    m_pMouseDevice->setInputHandler([this] { OnMouseData(); });
    m_bDirectInputReady = 1;
    return true;
}

Point CMouseEmulation::ScreenToInstrument(Point screen) const {
    return tarvik::ScreenToInstrument(screen, m_nDesktopWidth, m_nDesktopHeight);
}

Point CMouseEmulation::InstrumentToScreen(Point instrument) const {
    return tarvik::InstrumentToScreen(instrument, m_nDesktopWidth, m_nDesktopHeight);
}

bool CMouseEmulation::EnterMouseMode() {
    m_ptSavedCursor = host_.GetCursorPos();
    if (!m_bDirectInputReady || !m_pMouseDevice->Acquire()) {
        // The Mouse button stays down although mouse mode did not start; the next click takes
        // it up again.
        host_.ShowAlertId(IDS_DIRECTX_FAILURE);
        return false;
    }
    acquired_ = true;
    positionPending_ = false;

    // Settings that cannot be read keep the values they had.
    SystemMouseSettings system{m_nSystemMouseSpeed, m_mouseThresholds, m_bSwapButtons != 0};
    if (m_pMouseDevice->ReadSystemSettings(system)) {
        m_bSwapButtons = system.swapButtons ? 1 : 0;
        m_nSystemMouseSpeed = system.speed;
        m_mouseThresholds = system.thresholds;
    }
    const DesktopSize desktop = host_.GetDesktopSize();
    m_nDesktopWidth = desktop.width;
    m_nDesktopHeight = desktop.height;
    ApplyStartPosition();
    m_dMouseScale = MouseScale(m_nMouseSpeed, m_nSystemMouseSpeed);
    m_nWheelAccumulator = 0;

    state_.m_bMouseMode = 1;
    host_.RefreshControls();
    host_.SetMouseImage(true);
    state_.m_bMouseActive = 1;
    host_.SendMousePacket();
    return true;
}

void CMouseEmulation::ApplyStartPosition() {
    if (m_nMouseStartPosition == kStartCentre) {
        state_.m_ptPcCursor = Point{m_nDesktopWidth / 2, m_nDesktopHeight / 2};
    } else if (m_nMouseStartPosition == kStartPcPosition) {
        state_.m_ptPcCursor = m_ptSavedCursor;
    } else {
        // Last Position: wherever the PC mouse or the instrument's own mouse left both cursors.
        return;
    }
    state_.m_ptInstrumentCursor = ScreenToInstrument(state_.m_ptPcCursor);
}

void CMouseEmulation::LeaveMouseMode() {
    if (!m_bDirectInputReady) return;
    m_pMouseDevice->Unacquire();
    acquired_ = false;
    positionPending_ = false;
    state_.m_bEsc = 0;
    state_.m_bShift = 0;
    state_.m_bCtrl = 0;
    state_.m_bMouseMode = 0;
    host_.RefreshControls();
    host_.SetMouseImage(false);
    state_.m_bMouseActive = 0;
    host_.SendMousePacket();
    host_.SetCursorPos(m_ptSavedCursor);
}

void CMouseEmulation::EndMouseMode() {
    LeaveMouseMode();
    state_.m_bMouseMode = 0;
    host_.RefreshControls();
}

void CMouseEmulation::OnMouseData() {
    // A click quicker than one read shows its press in the first read and its release in the next.
    for (bool more = true; more;) {
        MouseDeviceState data;
        if (!m_pMouseDevice || !m_pMouseDevice->GetDeviceState(data, more)) {
            // The window lost the focus or went away and took the capture with it: mouse mode
            // must not stay on without it. A read after mouse mode has ended is ignored.
            if (acquired_) EndMouseMode();
            return;
        }
        if (!applyRead(data)) return;
    }
}

bool CMouseEmulation::applyRead(const MouseDeviceState& data) {
    if (Pressed(data, m_bSwapButtons ? kLeft : kRight)) {
        // The click that ends mouse mode must not also open the context menu.
        m_bSuppressContextMenu = 1;
        host_.SetTimer(TIMER_SUPPRESS_CONTEXT_MENU, kSuppressContextMenuMs);
        EndMouseMode();
        return false;
    }
    state_.m_bMouseActive = 1;
    const bool changed = TakeButtons(data);
    TakeWheel(data.lZ);
    const Point before = state_.m_ptInstrumentCursor;
    TakeMotion(data.lX, data.lY);
    // A position sent by TakeMotion carried the button changes with it.
    if (changed && state_.m_ptInstrumentCursor == before) {
        host_.RefreshControls();
        host_.SendMousePacket();
    }
    return true;
}

bool CMouseEmulation::TakeButtons(const MouseDeviceState& data) {
    bool changed = false;
    const Bool32 left = Pressed(data, m_bSwapButtons ? kRight : kLeft);
    if (left != state_.m_bMouseButton) changed = true;
    state_.m_bMouseButton = left;

    const Bool32 middle = Pressed(data, kMiddle);
    if (middle != state_.m_bEsc) {
        state_.m_bEsc = middle;
        host_.RefreshControls();
        if (middle) ports_.SendByteToPorts(kEscByte);
        changed = true;
    }
    const Bool32 ctrl = Pressed(data, kFourth);
    if (ctrl != state_.m_bCtrl) changed = true;
    state_.m_bCtrl = ctrl;
    const Bool32 shift = Pressed(data, kFifth);
    if (shift != state_.m_bShift) changed = true;
    state_.m_bShift = shift;
    return changed;
}

void CMouseEmulation::TakeWheel(int32_t delta) {
    // At most one byte per read; what is left over is dropped.
    m_nWheelAccumulator += delta;
    if (m_nWheelAccumulator >= kWheelDelta) {
        ports_.SendByteToPorts(kWheelAwayByte);
        m_nWheelAccumulator = 0;
    } else if (m_nWheelAccumulator <= -kWheelDelta) {
        ports_.SendByteToPorts(kWheelTowardByte);
        m_nWheelAccumulator = 0;
    }
}

void CMouseEmulation::TakeMotion(int32_t dx, int32_t dy) {
    const int32_t level = m_mouseThresholds[2];
    if (level != 0 && (std::abs(dx) > m_mouseThresholds[0] || std::abs(dy) > m_mouseThresholds[0])) {
        dx *= 2;
        dy *= 2;
        if (level == 2 && (std::abs(dx) > m_mouseThresholds[1] || std::abs(dy) > m_mouseThresholds[1])) {
            dx *= 2;
            dy *= 2;
        }
    }
    state_.m_ptPcCursor.x = MoveAxis(state_.m_ptPcCursor.x, dx, m_dMouseScale, m_nDesktopWidth);
    state_.m_ptPcCursor.y = MoveAxis(state_.m_ptPcCursor.y, dy, m_dMouseScale, m_nDesktopHeight);
    const Point position = ScreenToInstrument(state_.m_ptPcCursor);
    if (position == state_.m_ptInstrumentCursor) return;
    if (m_bPacketThrottle) {
        positionPending_ = true;
        return;
    }
    SendPosition(position);
}

void CMouseEmulation::SendPosition(Point position) {
    state_.m_ptInstrumentCursor = position;
    host_.SetTimer(TIMER_PACKET_THROTTLE, kPacketThrottleMs);
    m_bPacketThrottle = 1;
    positionPending_ = false;
    host_.RefreshControls();
    host_.SendMousePacket();
}

bool CMouseEmulation::OnTimer(uint32_t id) {
    if (id == TIMER_SUPPRESS_CONTEXT_MENU) {
        m_bSuppressContextMenu = 0;
        host_.KillTimer(id);
        return true;
    }
    if (id != TIMER_PACKET_THROTTLE) return false;
    m_bPacketThrottle = 0;
    host_.KillTimer(id);
    // Where the mouse stopped inside the last 20 ms has not been sent yet; without this the
    // instrument's cursor would stop short of the PC mouse until the next device event.
    if (positionPending_ && acquired_) {
        const Point position = ScreenToInstrument(state_.m_ptPcCursor);
        positionPending_ = false;
        if (!(position == state_.m_ptInstrumentCursor)) SendPosition(position);
    }
    return true;
}

void CMouseEmulation::UnacquireDevice() {
    if (m_pMouseDevice) m_pMouseDevice->Unacquire();
    acquired_ = false;
    positionPending_ = false;
}

void CMouseEmulation::ReleaseDevice() {
    // The device's own connection closes with it, so nothing is watched any more.
    if (m_pMouseDevice) m_pMouseDevice->Unacquire();
    m_pMouseDevice.reset();
    m_bDirectInputReady = 0;
}

}  // namespace tarvik
