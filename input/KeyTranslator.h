#pragma once
// PC key messages to instrument key codes. A key with an entry in the table becomes one code,
// delivered with its action (press or release) to the window; Shift and Ctrl become modifier codes
// that the window turns into flag bits of the mouse packet; everything else is left alone.
#include <array>
#include <cstdint>
#include <utility>

namespace tarvik {

// Key codes: 0x00..0xFE one byte to send; 0x581..0x5AF function keys (low 8 bits are sent).
inline constexpr uint32_t KEYCODE_HELP = 0x581;  // F1: also marks the help key as used
inline constexpr uint32_t KEYCODE_CTRL = 0x2000;
inline constexpr uint32_t KEYCODE_SHIFT = 0x4000;
inline constexpr uint32_t KEYCODE_NONE = 0xFF;  // in the table: no translation

inline constexpr uint32_t KEY_ACTION_PRESS = 1;  // first press and every auto-repeat
inline constexpr uint32_t KEY_ACTION_RELEASE = 2;

// A key going down or up; "system" when Alt is held with it.
enum class KeyEventKind { KeyDown, KeyUp, SystemKeyDown, SystemKeyUp };

// Modifier index: the table's column.
inline constexpr int ModNone = 0;
inline constexpr int ModShift = 1;
inline constexpr int ModCtrl = 2;
inline constexpr int ModCtrlShift = 3;

using KeyTable = std::array<std::array<uint32_t, 4>, 256>;

// The constant translation table, indexed [virtual key][modifier index].
const KeyTable& keyTranslationTable();

// One key event as the window sees it, with the keyboard state at that moment.
struct KeyMessage {
    KeyEventKind kind = KeyEventKind::KeyDown;
    uint32_t vk = 0;         // Windows virtual-key code
    bool release = false;    // transition bit: the key is going up
    bool shiftDown = false;  // either Shift key is down
    bool ctrlDown = false;   // either Ctrl key is down
    bool capsLock = false;   // Caps Lock is on (or held)
};

// Receives the translated codes.
class KeyCodeSink {
public:
    virtual ~KeyCodeSink() = default;
    virtual void onKeyCode(uint32_t code, uint32_t action) = 0;
};

class KeyTranslator {
public:
    explicit KeyTranslator(KeyCodeSink& sink) : m_sink(sink) {}
    virtual ~KeyTranslator() = default;
    KeyTranslator(const KeyTranslator&) = delete;
    KeyTranslator& operator=(const KeyTranslator&) = delete;

    // True when the message is consumed: it must then get no further processing (no text input).
    bool translateMessage(const KeyMessage& msg);
    // Whether translateMessage would consume `msg`, without delivering anything.
    static bool wouldConsume(const KeyMessage& msg);

    // The modifier and table stage: Shift and Ctrl keys become modifier codes, other keys their
    // table entry. False when the key has no translation in that column.
    bool translateKey(uint32_t vk, int modifierIndex, uint32_t action);

    void deliverKeyCode(uint32_t code, uint32_t action) { m_sink.onKeyCode(code, action); }

    bool shiftHeld() const { return m_shiftHeld; }
    bool ctrlHeld() const { return m_ctrlHeld; }

    struct HeldModifiers {
        bool shift = false;
        bool ctrl = false;
    };
    // For a window that lost the keyboard: the releases of the modifiers held now will go
    // elsewhere. Returns which were held and forgets them, delivering nothing.
    HeldModifiers takeHeldModifiers() { return {std::exchange(m_shiftHeld, false), std::exchange(m_ctrlHeld, false)}; }

private:
    // The table column of `msg`, or -1 when the message is not examined at all.
    static int modifierIndexOf(const KeyMessage& msg);
    bool translateModifier(bool& held, uint32_t code, uint32_t action);

    KeyCodeSink& m_sink;
    bool m_shiftHeld = false;
    bool m_ctrlHeld = false;
};

}  // namespace tarvik
