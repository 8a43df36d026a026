#include "input/KeyCodeHandler.h"

namespace tarvik {

namespace {

constexpr uint32_t EscapeCode = 0x1B;

}  // namespace

void handleKeyCode(uint32_t code, uint32_t action, MouseState& state, int32_t& helpKey, PortSender& ports,
                   const std::function<void()>& sendMousePacket) {
    const bool press = action == KEY_ACTION_PRESS;
    switch (code) {
        case KEYCODE_SHIFT:
            state.m_shift = press ? 1 : 0;
            if (sendMousePacket) sendMousePacket();
            return;
        case KEYCODE_CTRL:
            state.m_ctrl = press ? 1 : 0;
            if (sendMousePacket) sendMousePacket();
            return;
        case EscapeCode:
            state.m_esc = press ? 1 : 0;
            if (press) ports.sendByteToPorts(static_cast<uint8_t>(EscapeCode));
            return;
        case KEYCODE_HELP:
            // The help request that F1 would also raise must find the flag already set.
            if (press) {
                helpKey = 1;
                ports.sendByteToPorts(static_cast<uint8_t>(code & 0xFF));
            }
            return;
        default:
            if (press) ports.sendByteToPorts(static_cast<uint8_t>(code & 0xFF));
            return;
    }
}

void releaseHeldModifiers(KeyTranslator& translator, MouseState& state, const std::function<void()>& sendMousePacket) {
    const KeyTranslator::HeldModifiers held = translator.takeHeldModifiers();
    if (!held.shift && !held.ctrl) return;
    if (held.shift) state.m_shift = 0;
    if (held.ctrl) state.m_ctrl = 0;
    if (sendMousePacket) sendMousePacket();
}

}  // namespace tarvik
