#include "input/KeyTranslator.h"

#include <cstddef>

#include "input/VirtualKeyCodes.h"

namespace tarvik {

int KeyTranslator::modifierIndexOf(const KeyMessage& msg) {
    // The lock keys must keep working for the desktop.
    if (msg.vk == vk::VK_CAPITAL || msg.vk == vk::VK_NUMLOCK || msg.vk > 0xFF) return -1;
    bool shift = msg.shiftDown;
    if (msg.vk >= vk::VK_A && msg.vk <= vk::VK_Z && msg.capsLock) shift = !shift;
    // Alt is deliberately not looked at: Alt+key sends what the key alone sends.
    return (msg.ctrlDown ? ModCtrl : ModNone) + (shift ? ModShift : ModNone);
}

bool KeyTranslator::translateMessage(const KeyMessage& msg) {
    const int modifierIndex = modifierIndexOf(msg);
    if (modifierIndex < 0) return false;
    return translateKey(msg.vk, modifierIndex, msg.release ? KEY_ACTION_RELEASE : KEY_ACTION_PRESS);
}

bool KeyTranslator::wouldConsume(const KeyMessage& msg) {
    const int modifierIndex = modifierIndexOf(msg);
    if (modifierIndex < 0) return false;
    if (msg.vk == vk::VK_SHIFT || msg.vk == vk::VK_CONTROL) return true;
    return keyTranslationTable()[msg.vk][static_cast<size_t>(modifierIndex)] != KEYCODE_NONE;
}

bool KeyTranslator::translateKey(uint32_t vkCode, int modifierIndex, uint32_t action) {
    if (vkCode == vk::VK_SHIFT) return translateModifier(m_shiftHeld, KEYCODE_SHIFT, action);
    if (vkCode == vk::VK_CONTROL) return translateModifier(m_ctrlHeld, KEYCODE_CTRL, action);
    if (vkCode > 0xFF || modifierIndex < ModNone || modifierIndex > ModCtrlShift) return false;

    const uint32_t code = keyTranslationTable()[vkCode][static_cast<size_t>(modifierIndex)];
    if (code == KEYCODE_NONE) return false;
    deliverKeyCode(code, action);
    return true;
}

// Auto-repeat of a held modifier delivers nothing, so one hold gives one packet. Any release
// clears it, even with the other key of the pair still down.
bool KeyTranslator::translateModifier(bool& held, uint32_t code, uint32_t action) {
    if (action == KEY_ACTION_RELEASE) {
        deliverKeyCode(code, KEY_ACTION_RELEASE);
        held = false;
    } else if (!held) {
        deliverKeyCode(code, KEY_ACTION_PRESS);
        held = true;
    }
    return true;
}

}  // namespace tarvik
