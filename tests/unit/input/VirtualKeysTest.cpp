#include <gtest/gtest.h>

#include "VirtualKeyCodes.h"
#include "VirtualKeys.h"

namespace tarvik {
namespace {

constexpr uint32_t X(uint32_t evdev) { return evdev + 8; }

TEST(VirtualKeysTest, PositionsOfAUsBoard) {
    EXPECT_EQ(VirtualKeyFromX11(X(30), 0, false), vk::Letter('A'));
    EXPECT_EQ(VirtualKeyFromX11(X(16), 0x61 /* 'a' on an AZERTY board */, false), vk::Letter('Q'));
    EXPECT_EQ(VirtualKeyFromX11(X(43), 0, false), vk::VK_OEM_5);
    EXPECT_EQ(VirtualKeyFromX11(X(54), 0, false), vk::VK_SHIFT);  // right Shift is Shift too
    EXPECT_EQ(VirtualKeyFromX11(X(88), 0, false), vk::F(12));
    EXPECT_EQ(VirtualKeyFromX11(X(107), 0, false), vk::VK_END);
}

TEST(VirtualKeysTest, KeypadFollowsNumLockThroughTheKeysym) {
    EXPECT_EQ(VirtualKeyFromX11(X(71), 0xFFB7 /* KP_7 */, true), vk::Numpad(7));
    EXPECT_EQ(VirtualKeyFromX11(X(71), 0xFF95 /* KP_Home */, true), vk::VK_HOME);
    EXPECT_EQ(VirtualKeyFromX11(X(76), 0xFF9D /* KP_Begin */, true), vk::VK_CLEAR);
    EXPECT_EQ(VirtualKeyFromX11(X(83), 0xFFAE /* KP_Decimal */, true), vk::VK_DECIMAL);
    EXPECT_EQ(VirtualKeyFromX11(X(79), 0, true), vk::Numpad(1));  // keysym unknown: position
}

TEST(VirtualKeysTest, UnknownCodesGiveNothing) {
    EXPECT_EQ(VirtualKeyFromX11(0, 0, false), 0u);
    EXPECT_EQ(VirtualKeyFromX11(X(84), 0, false), 0u);
    EXPECT_EQ(VirtualKeyFromX11(0xFFFFFFFFu, 0xFFFFFFFFu, true), 0u);
    EXPECT_EQ(VirtualKeyFromQtKey(0, false), 0u);
    EXPECT_EQ(VirtualKeyFromQtKey(-1, true), 0u);
    EXPECT_EQ(VirtualKeyFromQtKey(0x01FFFFFF, false), 0u);
    EXPECT_EQ(VirtualKeyFor({}), 0u);
}

TEST(VirtualKeysTest, ToolkitKeyFallback) {
    EXPECT_EQ(VirtualKeyFromQtKey('Q', false), vk::Letter('Q'));
    EXPECT_EQ(VirtualKeyFromQtKey('@', false), vk::Digit('2'));
    EXPECT_EQ(VirtualKeyFromQtKey(':', false), vk::VK_OEM_1);
    EXPECT_EQ(VirtualKeyFromQtKey(0x01000000, false), vk::VK_ESCAPE);
    EXPECT_EQ(VirtualKeyFromQtKey(0x01000030, false), vk::F(1));
    EXPECT_EQ(VirtualKeyFromQtKey('7', true), vk::Numpad(7));
    EXPECT_EQ(VirtualKeyFromQtKey('*', true), vk::VK_MULTIPLY);
    EXPECT_EQ(VirtualKeyFromQtKey(0x01000010, true), vk::VK_HOME);  // keypad 7, Num Lock off
    // The native code wins; with none, the toolkit's number is used.
    EXPECT_EQ(VirtualKeyFor({.nativeScanCode = X(30), .keysym = 0, .qtKey = 'Q', .keypad = false}),
              vk::Letter('A'));
    EXPECT_EQ(VirtualKeyFor({.nativeScanCode = 0, .keysym = 0, .qtKey = 'Q', .keypad = false}),
              vk::Letter('Q'));
}

}  // namespace
}  // namespace tarvik
