#include <gtest/gtest.h>

#include "input/VirtualKeyCodes.h"
#include "input/VirtualKeys.h"

namespace tarvik {
namespace {

constexpr uint32_t X(uint32_t evdev) { return evdev + 8; }

TEST(VirtualKeysTest, NativeCodesGoByPositionAndTheKeypadByNumLock) {
    struct Row {
        uint32_t code, keysym;
        bool keypad;
        uint32_t vk;
    };
    for (const Row& r :
         {Row{X(30), 0, false, vk::letter('A')}, Row{X(16), 0x61 /* 'a' on an AZERTY board */, false, vk::letter('Q')},
          Row{X(43), 0, false, vk::VK_OEM_5}, Row{X(54), 0, false, vk::VK_SHIFT},  // right Shift
          Row{X(88), 0, false, vk::f(12)}, Row{X(107), 0, false, vk::VK_END},
          Row{X(71), 0xFFB7 /* KP_7 */, true, vk::numpad(7)}, Row{X(71), 0xFF95 /* KP_Home */, true, vk::VK_HOME},
          Row{X(76), 0xFF9D /* KP_Begin */, true, vk::VK_CLEAR},
          Row{X(83), 0xFFAE /* KP_Decimal */, true, vk::VK_DECIMAL},
          Row{X(79), 0, true, vk::numpad(1)},  // keysym unknown: position
          Row{0, 0, false, 0}, Row{X(84), 0, false, 0}, Row{0xFFFFFFFFu, 0xFFFFFFFFu, true, 0}}) {
        EXPECT_EQ(virtualKeyFromX11(r.code, r.keysym, r.keypad), r.vk) << r.code << " " << r.keysym;
    }
}

// Keys of the German and French layouts as their keyboard maps define them (symbols without and
// with Shift), and the virtual key Windows gives each. The plain letters and the French top row
// are typed through a real layout by the X11 end-to-end test.
TEST(VirtualKeysTest, LettersDigitsAndPunctuationFollowTheLayout) {
    struct Row {
        const char* what;
        uint32_t evdev, unshifted, shifted, vk;
    };
    const Row rows[] = {
        {"de 2", 3, '2', '"', vk::digit('2')},
        {"de +", 27, '+', '*', vk::VK_OEM_PLUS},
        {"de ß keeps its position", 12, 0xDF, '?', vk::VK_OEM_MINUS},
        {"de dead circumflex keeps its position", 41, 0xFE52, 0xB0, vk::VK_OEM_3},
        {"fr semicolon", 51, ';', '.', vk::VK_OEM_1},
        {"fr &1", 2, '&', '1', vk::digit('1')},
        {"fr -6", 7, '-', '6', vk::digit('6')},
        {"Cyrillic letters keep their position", 16, 0x6CA, 0x6EA, vk::letter('Q')},
        {"keypad symbols are not the layout's", 79, 0xFF9C, 0xFFB1, vk::numpad(1)},
        {"F1", 59, 0xFFBE, 0xFFBE, vk::f(1)},
    };
    for (const Row& r : rows) {
        LinuxKeyEvent event;
        event.nativeScanCode = X(r.evdev);
        event.keysym = r.shifted;
        event.layoutUnshifted = r.unshifted;
        event.layoutShifted = r.shifted;
        EXPECT_EQ(virtualKeyFor(event), r.vk) << r.what;
    }
}

TEST(VirtualKeysTest, ToolkitKeyFallback) {
    for (auto [key, keypad, expected] : {std::tuple{int('Q'), false, vk::letter('Q')},
                                         {'@', false, vk::digit('2')},
                                         {':', false, vk::VK_OEM_1},
                                         {0x01000000, false, vk::VK_ESCAPE},
                                         {0x01000030, false, vk::f(1)},
                                         {'7', true, vk::numpad(7)},
                                         {'*', true, vk::VK_MULTIPLY},
                                         {0x01000010, true, vk::VK_HOME},  // keypad 7, Num Lock off
                                         {0, false, 0u},
                                         {-1, true, 0u},
                                         {0x01FFFFFF, false, 0u}}) {
        EXPECT_EQ(virtualKeyFromQtKey(key, keypad), expected) << key;
    }
    // The native code wins; with none, the toolkit's number is used.
    EXPECT_EQ(virtualKeyFor({.nativeScanCode = X(30), .keysym = 0, .qtKey = 'Q', .keypad = false}), vk::letter('A'));
    EXPECT_EQ(virtualKeyFor({.nativeScanCode = 0, .keysym = 0, .qtKey = 'Q', .keypad = false}), vk::letter('Q'));
    EXPECT_EQ(virtualKeyFor({}), 0u);
}

}  // namespace
}  // namespace tarvik
