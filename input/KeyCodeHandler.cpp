#include "input/KeyCodeHandler.h"

namespace tarvik {

namespace {

constexpr uint32_t kEscapeCode = 0x1B;

}  // namespace

void HandleKeyCode(uint32_t code, uint32_t action, MouseState& state, Bool32& helpKey, IPortSender& ports,
                   const std::function<void()>& sendMousePacket) {
    const bool press = action == KEY_ACTION_PRESS;
    switch (code) {
        case KEYCODE_SHIFT:
            state.m_bShift = press ? 1 : 0;
            if (sendMousePacket) sendMousePacket();
            return;
        case KEYCODE_CTRL:
            state.m_bCtrl = press ? 1 : 0;
            if (sendMousePacket) sendMousePacket();
            return;
        case kEscapeCode:
            state.m_bEsc = press ? 1 : 0;
            if (press) ports.SendByteToPorts(static_cast<uint8_t>(kEscapeCode));
            return;
        case KEYCODE_HELP:
            // The help request that F1 would also raise must find the flag already set.
            if (press) {
                helpKey = 1;
                ports.SendByteToPorts(static_cast<uint8_t>(code & 0xFF));
            }
            return;
        default:
            if (press) ports.SendByteToPorts(static_cast<uint8_t>(code & 0xFF));
            return;
    }
}

void ReleaseHeldModifiers(CKeyTranslator& translator, MouseState& state, const std::function<void()>& sendMousePacket) {
    const CKeyTranslator::HeldModifiers held = translator.TakeHeldModifiers();
    if (!held.shift && !held.ctrl) return;
    if (held.shift) state.m_bShift = 0;
    if (held.ctrl) state.m_bCtrl = 0;
    if (sendMousePacket) sendMousePacket();
}

}  // namespace tarvik
