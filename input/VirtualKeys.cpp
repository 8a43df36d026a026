#include "input/VirtualKeys.h"

#include <array>

#include "input/VirtualKeyCodes.h"

namespace tarvik {

namespace {

using namespace vk;

constexpr uint32_t EvdevOffset = 8;  // X keycodes are evdev codes + 8

struct Pos {
    uint32_t evdev;
    uint32_t vk;
};

// Positions by evdev code (linux/input-event-codes.h), as a US board labels them.
// clang-format off
constexpr Pos Positions[] = {
    {1, VK_ESCAPE},
    {2, digit('1')}, {3, digit('2')}, {4, digit('3')}, {5, digit('4')}, {6, digit('5')},
    {7, digit('6')}, {8, digit('7')}, {9, digit('8')}, {10, digit('9')}, {11, digit('0')},
    {12, VK_OEM_MINUS}, {13, VK_OEM_PLUS}, {14, VK_BACK}, {15, VK_TAB},
    {16, letter('Q')}, {17, letter('W')}, {18, letter('E')}, {19, letter('R')}, {20, letter('T')},
    {21, letter('Y')}, {22, letter('U')}, {23, letter('I')}, {24, letter('O')}, {25, letter('P')},
    {26, VK_OEM_4}, {27, VK_OEM_6}, {28, VK_RETURN}, {29, VK_CONTROL},
    {30, letter('A')}, {31, letter('S')}, {32, letter('D')}, {33, letter('F')}, {34, letter('G')},
    {35, letter('H')}, {36, letter('J')}, {37, letter('K')}, {38, letter('L')},
    {39, VK_OEM_1}, {40, VK_OEM_7}, {41, VK_OEM_3}, {42, VK_SHIFT}, {43, VK_OEM_5},
    {44, letter('Z')}, {45, letter('X')}, {46, letter('C')}, {47, letter('V')}, {48, letter('B')},
    {49, letter('N')}, {50, letter('M')},
    {51, VK_OEM_COMMA}, {52, VK_OEM_PERIOD}, {53, VK_OEM_2}, {54, VK_SHIFT},
    {55, VK_MULTIPLY}, {56, VK_MENU}, {57, VK_SPACE}, {58, VK_CAPITAL},
    {59, f(1)}, {60, f(2)}, {61, f(3)}, {62, f(4)}, {63, f(5)},
    {64, f(6)}, {65, f(7)}, {66, f(8)}, {67, f(9)}, {68, f(10)},
    {69, VK_NUMLOCK}, {70, VK_SCROLL},
    // Keypad digits and point with Num Lock on; the keysym decides when it is known.
    {71, numpad(7)}, {72, numpad(8)}, {73, numpad(9)}, {74, VK_SUBTRACT},
    {75, numpad(4)}, {76, numpad(5)}, {77, numpad(6)}, {78, VK_ADD},
    {79, numpad(1)}, {80, numpad(2)}, {81, numpad(3)}, {82, numpad(0)}, {83, VK_DECIMAL},
    {86, VK_OEM_102}, {87, f(11)}, {88, f(12)},
    {96, VK_RETURN}, {97, VK_CONTROL}, {98, VK_DIVIDE}, {99, VK_SNAPSHOT}, {100, VK_MENU},
    {102, VK_HOME}, {103, VK_UP}, {104, VK_PRIOR}, {105, VK_LEFT}, {106, VK_RIGHT},
    {107, VK_END}, {108, VK_DOWN}, {109, VK_NEXT}, {110, VK_INSERT}, {111, VK_DELETE},
    {119, VK_PAUSE}, {121, VK_SEPARATOR}, {125, VK_LWIN}, {126, VK_RWIN}, {127, VK_APPS},
    {183, f(13)}, {184, f(14)}, {185, f(15)}, {186, f(16)}, {187, f(17)}, {188, f(18)},
    {189, f(19)}, {190, f(20)}, {191, f(21)}, {192, f(22)}, {193, f(23)}, {194, f(24)},
};
// clang-format on

constexpr uint32_t MaxEvdev = 255;

constexpr std::array<uint8_t, MaxEvdev + 1> buildPositionTable() {
    std::array<uint8_t, MaxEvdev + 1> table{};
    for (const Pos& p : Positions) table[p.evdev] = static_cast<uint8_t>(p.vk);
    return table;
}

constexpr auto PositionTable = buildPositionTable();

// Keypad keysyms (X11/keysymdef.h): what the keypad key means with the current Num Lock state.
uint32_t virtualKeyFromKeypadKeysym(uint32_t keysym) {
    constexpr uint32_t XK_KP_0 = 0xFFB0, XK_KP_9 = 0xFFB9;
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return VK_NUMPAD0 + (keysym - XK_KP_0);
    switch (keysym) {
        case 0xFF8D: return VK_RETURN;     // XK_KP_Enter
        case 0xFF95: return VK_HOME;       // XK_KP_Home
        case 0xFF96: return VK_LEFT;       // XK_KP_Left
        case 0xFF97: return VK_UP;         // XK_KP_Up
        case 0xFF98: return VK_RIGHT;      // XK_KP_Right
        case 0xFF99: return VK_DOWN;       // XK_KP_Down
        case 0xFF9A: return VK_PRIOR;      // XK_KP_Prior
        case 0xFF9B: return VK_NEXT;       // XK_KP_Next
        case 0xFF9C: return VK_END;        // XK_KP_End
        case 0xFF9D: return VK_CLEAR;      // XK_KP_Begin: keypad 5 with Num Lock off
        case 0xFF9E: return VK_INSERT;     // XK_KP_Insert
        case 0xFF9F: return VK_DELETE;     // XK_KP_Delete
        case 0xFFAA: return VK_MULTIPLY;   // XK_KP_Multiply
        case 0xFFAB: return VK_ADD;        // XK_KP_Add
        case 0xFFAC: return VK_SEPARATOR;  // XK_KP_Separator
        case 0xFFAD: return VK_SUBTRACT;   // XK_KP_Subtract
        case 0xFFAE: return VK_DECIMAL;    // XK_KP_Decimal
        case 0xFFAF: return VK_DIVIDE;     // XK_KP_Divide
        default: return 0;
    }
}

// The keypad keys whose meaning changes with Num Lock (7 8 9 / 4 5 6 / 1 2 3 / 0 .).
bool isKeypadDigitPosition(uint32_t evdev) { return evdev >= 71 && evdev <= 83 && evdev != 74 && evdev != 78; }

// Qt::Key numbers of the special keys (stable across Qt versions).
constexpr int QtF1 = 0x01000030;
constexpr int QtF24 = QtF1 + 23;

uint32_t virtualKeyFromQtSpecial(int key) {
    if (key >= QtF1 && key <= QtF24) return VK_F1 + static_cast<uint32_t>(key - QtF1);
    switch (key) {
        case 0x01000000: return VK_ESCAPE;
        case 0x01000001: return VK_TAB;
        case 0x01000002: return VK_TAB;  // Backtab: Shift+Tab
        case 0x01000003: return VK_BACK;
        case 0x01000004: return VK_RETURN;
        case 0x01000005: return VK_RETURN;  // Enter on the keypad
        case 0x01000006: return VK_INSERT;
        case 0x01000007: return VK_DELETE;
        case 0x01000008: return VK_PAUSE;
        case 0x01000009: return VK_SNAPSHOT;
        case 0x0100000B: return VK_CLEAR;
        case 0x01000010: return VK_HOME;
        case 0x01000011: return VK_END;
        case 0x01000012: return VK_LEFT;
        case 0x01000013: return VK_UP;
        case 0x01000014: return VK_RIGHT;
        case 0x01000015: return VK_DOWN;
        case 0x01000016: return VK_PRIOR;
        case 0x01000017: return VK_NEXT;
        case 0x01000020: return VK_SHIFT;
        case 0x01000021: return VK_CONTROL;
        case 0x01000022: return VK_LWIN;  // Meta
        case 0x01000023: return VK_MENU;
        case 0x01000024: return VK_CAPITAL;
        case 0x01000025: return VK_NUMLOCK;
        case 0x01000026: return VK_SCROLL;
        case 0x01000055: return VK_APPS;  // Menu
        default: return 0;
    }
}

// Printable keys: the toolkit reports the symbol, shifted or not; bring it back to its US key.
uint32_t virtualKeyFromQtSymbol(int key) {
    if (key >= 'A' && key <= 'Z') return static_cast<uint32_t>(key);
    if (key >= '0' && key <= '9') return static_cast<uint32_t>(key);
    constexpr char ShiftedDigits[] = ")!@#$%^&*(";  // Shift + 0..9 on a US board
    for (int d = 0; d < 10; ++d) {
        if (key == ShiftedDigits[d]) return VK_0 + static_cast<uint32_t>(d);
    }
    switch (key) {
        case ' ': return VK_SPACE;
        case ';':
        case ':': return VK_OEM_1;
        case '=':
        case '+': return VK_OEM_PLUS;
        case ',':
        case '<': return VK_OEM_COMMA;
        case '-':
        case '_': return VK_OEM_MINUS;
        case '.':
        case '>': return VK_OEM_PERIOD;
        case '/':
        case '?': return VK_OEM_2;
        case '`':
        case '~': return VK_OEM_3;
        case '[':
        case '{': return VK_OEM_4;
        case '\\':
        case '|': return VK_OEM_5;
        case ']':
        case '}': return VK_OEM_6;
        case '\'':
        case '"': return VK_OEM_7;
        default: return 0;
    }
}

uint32_t virtualKeyFromQtKeypad(int key) {
    if (key >= '0' && key <= '9') return VK_NUMPAD0 + static_cast<uint32_t>(key - '0');
    switch (key) {
        case '*': return VK_MULTIPLY;
        case '+': return VK_ADD;
        case '-': return VK_SUBTRACT;
        case '.':
        case ',': return VK_DECIMAL;
        case '/': return VK_DIVIDE;
        default: return 0;
    }
}

}  // namespace

uint32_t virtualKeyFromLayout(uint32_t unshifted, uint32_t shifted) {
    // Latin keysyms are their ASCII codes.
    if (unshifted >= 'a' && unshifted <= 'z') return VK_A + (unshifted - 'a');
    if (unshifted >= 'A' && unshifted <= 'Z') return VK_A + (unshifted - 'A');
    for (uint32_t symbol : {unshifted, shifted}) {
        if (symbol >= '0' && symbol <= '9') return VK_0 + (symbol - '0');
    }
    switch (unshifted) {
        case ';': return VK_OEM_1;
        case '=':
        case '+': return VK_OEM_PLUS;
        case ',': return VK_OEM_COMMA;
        case '-': return VK_OEM_MINUS;
        case '.': return VK_OEM_PERIOD;
        case '/': return VK_OEM_2;
        case '`': return VK_OEM_3;
        case '[': return VK_OEM_4;
        case '\\': return VK_OEM_5;
        case ']': return VK_OEM_6;
        case '\'': return VK_OEM_7;
        default: return 0;
    }
}

uint32_t virtualKeyFromX11(uint32_t xKeycode, uint32_t keysym, bool keypad) {
    if (xKeycode < EvdevOffset || xKeycode - EvdevOffset > MaxEvdev) return 0;
    const uint32_t evdev = xKeycode - EvdevOffset;
    if (keypad || isKeypadDigitPosition(evdev)) {
        if (uint32_t byKeysym = virtualKeyFromKeypadKeysym(keysym)) return byKeysym;
    }
    return PositionTable[evdev];
}

uint32_t virtualKeyFromQtKey(int qtKey, bool keypad) {
    if (keypad) {
        if (uint32_t k = virtualKeyFromQtKeypad(qtKey)) return k;
    }
    if (uint32_t k = virtualKeyFromQtSpecial(qtKey)) return k;
    return virtualKeyFromQtSymbol(qtKey);
}

uint32_t virtualKeyFor(const LinuxKeyEvent& event) {
    if (uint32_t k = virtualKeyFromLayout(event.layoutUnshifted, event.layoutShifted)) return k;
    if (uint32_t k = virtualKeyFromX11(event.nativeScanCode, event.keysym, event.keypad)) return k;
    return virtualKeyFromQtKey(event.qtKey, event.keypad);
}

}  // namespace tarvik
