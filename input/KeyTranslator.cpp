#include "input/KeyTranslator.h"

#include <cstddef>

#include "input/VirtualKeyCodes.h"

namespace tarvik {

int CKeyTranslator::ModifierIndexOf(const KeyMessage& msg) {
    switch (msg.message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP: break;
        default: return -1;
    }
    // The lock keys must keep working for the desktop.
    if (msg.vk == vk::VK_CAPITAL || msg.vk == vk::VK_NUMLOCK || msg.vk > 0xFF) return -1;
    bool shift = msg.shiftDown;
    if (msg.vk >= vk::VK_A && msg.vk <= vk::VK_Z && msg.capsLock) shift = !shift;
    // Alt is deliberately not looked at: Alt+key sends what the key alone sends.
    return (msg.ctrlDown ? kModCtrl : kModNone) + (shift ? kModShift : kModNone);
}

bool CKeyTranslator::TranslateMessage(const KeyMessage& msg) {
    const int modifierIndex = ModifierIndexOf(msg);
    if (modifierIndex < 0) return false;
    return TranslateKey(msg.vk, modifierIndex, msg.release ? KEY_ACTION_RELEASE : KEY_ACTION_PRESS);
}

bool CKeyTranslator::WouldConsume(const KeyMessage& msg) {
    const int modifierIndex = ModifierIndexOf(msg);
    if (modifierIndex < 0) return false;
    if (msg.vk == vk::VK_SHIFT || msg.vk == vk::VK_CONTROL) return true;
    return KeyTranslationTable()[msg.vk][static_cast<size_t>(modifierIndex)] != KEYCODE_NONE;
}

bool CKeyTranslator::TranslateKey(uint32_t vkCode, int modifierIndex, uint32_t action) {
    if (vkCode == vk::VK_SHIFT) return TranslateModifier(shiftHeld_, KEYCODE_SHIFT, action);
    if (vkCode == vk::VK_CONTROL) return TranslateModifier(ctrlHeld_, KEYCODE_CTRL, action);
    if (vkCode > 0xFF || modifierIndex < kModNone || modifierIndex > kModCtrlShift) return false;

    const uint32_t code = KeyTranslationTable()[vkCode][static_cast<size_t>(modifierIndex)];
    if (code == KEYCODE_NONE) return false;
    DeliverKeyCode(code, action);
    return true;
}

// Auto-repeat of a held modifier delivers nothing, so one hold gives one packet. Any release
// clears it, even with the other key of the pair still down.
bool CKeyTranslator::TranslateModifier(bool& held, uint32_t code, uint32_t action) {
    if (action == KEY_ACTION_RELEASE) {
        DeliverKeyCode(code, KEY_ACTION_RELEASE);
        held = false;
    } else if (!held) {
        DeliverKeyCode(code, KEY_ACTION_PRESS);
        held = true;
    }
    return true;
}

}  // namespace tarvik
