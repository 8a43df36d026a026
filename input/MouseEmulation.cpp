#include "input/MouseEmulation.h"

#include <cstdlib>
#include <utility>

#include "input/MouseMath.h"
#include "res/StringTable.h"

namespace tarvik {
namespace {

constexpr uint8_t EscByte = 0x1B;
constexpr uint8_t WheelAwayByte = 0x0E;    // Page Up
constexpr uint8_t WheelTowardByte = 0x0F;  // Page Down

enum ButtonIndex { Left = 0, Right = 1, Middle = 2, Fourth = 3, Fifth = 4 };

int32_t pressed(const MouseDeviceState& data, int index) { return data.rgbButtons[index] != 0 ? 1 : 0; }

}  // namespace

MouseEmulation::MouseEmulation(MouseState& state, MouseHost& host, PortSender& ports)
    : m_state(state),
      m_host(host),
      m_ports(ports) {}

void MouseEmulation::initialise() {
    const DesktopSize desktop = m_host.getDesktopSize();
    m_desktopWidth = desktop.width;
    m_desktopHeight = desktop.height;
    m_state.m_pcCursor = Point{m_desktopWidth / 2, m_desktopHeight / 2};
    m_state.m_instrumentCursor = screenToInstrument(m_state.m_pcCursor);
}

bool MouseEmulation::initDirectInput(std::unique_ptr<MouseDevice> device) {
    if (m_mouseDevice || !device) return false;
    m_mouseDevice = std::move(device);
    m_mouseDevice->setInputHandler([this] { onMouseData(); });
    m_directInputReady = 1;
    return true;
}

Point MouseEmulation::screenToInstrument(Point screen) const {
    return tarvik::screenToInstrument(screen, m_desktopWidth, m_desktopHeight);
}

Point MouseEmulation::instrumentToScreen(Point instrument) const {
    return tarvik::instrumentToScreen(instrument, m_desktopWidth, m_desktopHeight);
}

bool MouseEmulation::enterMouseMode() {
    m_savedCursor = m_host.getCursorPos();
    if (!m_directInputReady || !m_mouseDevice->acquire()) {
        // The Mouse button stays down although mouse mode did not start; the next click takes
        // it up again.
        m_host.showAlertId(StringDirectxFailure);
        return false;
    }
    m_acquired = true;
    m_positionPending = false;

    // Settings that cannot be read keep the values they had.
    SystemMouseSettings system{m_systemMouseSpeed, m_mouseThresholds, m_swapButtons != 0};
    if (m_mouseDevice->readSystemSettings(system)) {
        m_swapButtons = system.swapButtons ? 1 : 0;
        m_systemMouseSpeed = system.speed;
        m_mouseThresholds = system.thresholds;
    }
    const DesktopSize desktop = m_host.getDesktopSize();
    m_desktopWidth = desktop.width;
    m_desktopHeight = desktop.height;
    applyStartPosition();
    m_mouseScale = mouseScale(m_mouseSpeed, m_systemMouseSpeed);
    m_wheelAccumulator = 0;

    m_state.m_mouseMode = 1;
    m_host.refreshControls();
    m_host.setMouseImage(true);
    m_state.m_mouseActive = 1;
    m_host.sendMousePacket();
    return true;
}

void MouseEmulation::applyStartPosition() {
    if (m_mouseStartPosition == StartCentre) {
        m_state.m_pcCursor = Point{m_desktopWidth / 2, m_desktopHeight / 2};
    } else if (m_mouseStartPosition == StartPcPosition) {
        m_state.m_pcCursor = m_savedCursor;
    } else {
        // Last Position: wherever the PC mouse or the instrument's own mouse left both cursors.
        return;
    }
    m_state.m_instrumentCursor = screenToInstrument(m_state.m_pcCursor);
}

void MouseEmulation::leaveMouseMode() {
    if (!m_directInputReady) return;
    m_mouseDevice->unacquire();
    m_acquired = false;
    m_positionPending = false;
    m_state.m_esc = 0;
    m_state.m_shift = 0;
    m_state.m_ctrl = 0;
    m_state.m_mouseMode = 0;
    m_host.refreshControls();
    m_host.setMouseImage(false);
    m_state.m_mouseActive = 0;
    m_host.sendMousePacket();
    m_host.setCursorPos(m_savedCursor);
}

void MouseEmulation::endMouseMode() {
    leaveMouseMode();
    m_state.m_mouseMode = 0;
    m_host.refreshControls();
}

void MouseEmulation::onMouseData() {
    // A click quicker than one read shows its press in the first read and its release in the next.
    for (bool more = true; more;) {
        MouseDeviceState data;
        if (!m_mouseDevice || !m_mouseDevice->getDeviceState(data, more)) {
            // The window lost the focus or went away and took the capture with it: mouse mode
            // must not stay on without it. A read after mouse mode has ended is ignored.
            if (m_acquired) endMouseMode();
            return;
        }
        if (!applyRead(data)) return;
    }
}

bool MouseEmulation::applyRead(const MouseDeviceState& data) {
    if (pressed(data, m_swapButtons ? Left : Right)) {
        // The click that ends mouse mode must not also open the context menu.
        m_suppressContextMenu = 1;
        m_host.setTimer(TIMER_SUPPRESS_CONTEXT_MENU, SuppressContextMenuMs);
        endMouseMode();
        return false;
    }
    m_state.m_mouseActive = 1;
    const bool changed = takeButtons(data);
    takeWheel(data.lZ);
    const Point before = m_state.m_instrumentCursor;
    takeMotion(data.lX, data.lY);
    // A position sent by takeMotion carried the button changes with it.
    if (changed && m_state.m_instrumentCursor == before) {
        m_host.refreshControls();
        m_host.sendMousePacket();
    }
    return true;
}

bool MouseEmulation::takeButtons(const MouseDeviceState& data) {
    bool changed = false;
    const int32_t left = pressed(data, m_swapButtons ? Right : Left);
    if (left != m_state.m_mouseButton) changed = true;
    m_state.m_mouseButton = left;

    const int32_t middle = pressed(data, Middle);
    if (middle != m_state.m_esc) {
        m_state.m_esc = middle;
        m_host.refreshControls();
        if (middle) m_ports.sendByteToPorts(EscByte);
        changed = true;
    }
    const int32_t ctrl = pressed(data, Fourth);
    if (ctrl != m_state.m_ctrl) changed = true;
    m_state.m_ctrl = ctrl;
    const int32_t shift = pressed(data, Fifth);
    if (shift != m_state.m_shift) changed = true;
    m_state.m_shift = shift;
    return changed;
}

void MouseEmulation::takeWheel(int32_t delta) {
    // At most one byte per read; what is left over is dropped.
    m_wheelAccumulator += delta;
    if (m_wheelAccumulator >= WheelDelta) {
        m_ports.sendByteToPorts(WheelAwayByte);
        m_wheelAccumulator = 0;
    } else if (m_wheelAccumulator <= -WheelDelta) {
        m_ports.sendByteToPorts(WheelTowardByte);
        m_wheelAccumulator = 0;
    }
}

void MouseEmulation::takeMotion(int32_t dx, int32_t dy) {
    const int32_t level = m_mouseThresholds[2];
    if (level != 0 && (std::abs(dx) > m_mouseThresholds[0] || std::abs(dy) > m_mouseThresholds[0])) {
        dx *= 2;
        dy *= 2;
        if (level == 2 && (std::abs(dx) > m_mouseThresholds[1] || std::abs(dy) > m_mouseThresholds[1])) {
            dx *= 2;
            dy *= 2;
        }
    }
    m_state.m_pcCursor.x = moveAxis(m_state.m_pcCursor.x, dx, m_mouseScale, m_desktopWidth);
    m_state.m_pcCursor.y = moveAxis(m_state.m_pcCursor.y, dy, m_mouseScale, m_desktopHeight);
    const Point position = screenToInstrument(m_state.m_pcCursor);
    if (position == m_state.m_instrumentCursor) return;
    if (m_packetThrottle) {
        m_positionPending = true;
        return;
    }
    sendPosition(position);
}

void MouseEmulation::sendPosition(Point position) {
    m_state.m_instrumentCursor = position;
    m_host.setTimer(TIMER_PACKET_THROTTLE, PacketThrottleMs);
    m_packetThrottle = 1;
    m_positionPending = false;
    m_host.refreshControls();
    m_host.sendMousePacket();
}

bool MouseEmulation::onTimer(uint32_t id) {
    if (id == TIMER_SUPPRESS_CONTEXT_MENU) {
        m_suppressContextMenu = 0;
        m_host.stopTimer(id);
        return true;
    }
    if (id != TIMER_PACKET_THROTTLE) return false;
    m_packetThrottle = 0;
    m_host.stopTimer(id);
    // Where the mouse stopped inside the last 20 ms has not been sent yet; without this the
    // instrument's cursor would stop short of the PC mouse until the next device event.
    if (m_positionPending && m_acquired) {
        const Point position = screenToInstrument(m_state.m_pcCursor);
        m_positionPending = false;
        if (!(position == m_state.m_instrumentCursor)) sendPosition(position);
    }
    return true;
}

void MouseEmulation::unacquireDevice() {
    if (m_mouseDevice) m_mouseDevice->unacquire();
    m_acquired = false;
    m_positionPending = false;
}

void MouseEmulation::releaseDevice() {
    // The device's own connection closes with it, so nothing is watched any more.
    if (m_mouseDevice) m_mouseDevice->unacquire();
    m_mouseDevice.reset();
    m_directInputReady = 0;
}

}  // namespace tarvik
