#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "KeyCodeHandler.h"
#include "KeyTranslator.h"
#include "VirtualKeyCodes.h"

namespace tarvik {
namespace {

using Delivered = std::vector<std::pair<uint32_t, uint32_t>>;

class RecordingSink : public IKeyCodeSink {
public:
    Delivered codes;
    void OnKeyCode(uint32_t code, uint32_t action) override { codes.push_back({code, action}); }
};

struct Keys {
    bool shift = false, ctrl = false, caps = false;
};

class TranslatorTest : public ::testing::Test {
protected:
    bool Down(uint32_t vk, Keys k = {}, uint32_t msg = WM_KEYDOWN) {
        return translator.TranslateMessage({msg, vk, false, k.shift, k.ctrl, k.caps});
    }
    bool Up(uint32_t vk, Keys k = {}, uint32_t msg = WM_KEYUP) {
        return translator.TranslateMessage({msg, vk, true, k.shift, k.ctrl, k.caps});
    }
    RecordingSink sink;
    CKeyTranslator translator{sink};
};

TEST_F(TranslatorTest, CapsLockInvertsShiftForLettersOnly) {
    const Keys caps{.caps = true};
    const Keys capsShift{.shift = true, .caps = true};
    EXPECT_TRUE(Down(vk::Letter('A'), caps));
    EXPECT_TRUE(Down(vk::Letter('A'), capsShift));
    EXPECT_TRUE(Down(vk::Digit('1'), caps));
    EXPECT_TRUE(Down(vk::VK_OEM_1, caps));
    EXPECT_TRUE(Down(vk::Letter('A'), {.ctrl = true, .caps = true}));
    EXPECT_TRUE(Down(vk::Letter('A'), {.ctrl = true}));
    EXPECT_EQ(sink.codes, (Delivered{{0x41, 1}, {0x61, 1}, {0x31, 1}, {0x3B, 1}, {0x01, 1}, {0x01, 1}}));
}

TEST_F(TranslatorTest, CtrlColumnsConsumeOnlyWhatTheTableHas) {
    EXPECT_TRUE(Down(vk::Digit('2'), {.ctrl = true}));
    EXPECT_TRUE(Down(vk::Digit('2'), {.shift = true, .ctrl = true}));
    EXPECT_FALSE(Down(vk::Digit('1'), {.ctrl = true}));
    EXPECT_FALSE(Down(vk::F(1), {.shift = true, .ctrl = true}));
    EXPECT_FALSE(Down(vk::VK_END));
    EXPECT_FALSE(Down(vk::VK_MENU));
    EXPECT_EQ(sink.codes, (Delivered{{0x00, 1}, {0x00, 1}}));
}

TEST_F(TranslatorTest, FunctionKeysAltKeysAndOtherMessages) {
    EXPECT_TRUE(Down(vk::F(1)));
    EXPECT_TRUE(Down(vk::F(1), {.shift = true}));
    EXPECT_TRUE(Down(vk::F(4), {}, WM_SYSKEYDOWN));  // Alt+F4 goes to the instrument
    EXPECT_TRUE(Up(vk::F(4), {}, WM_SYSKEYUP));
    EXPECT_TRUE(Down(vk::VK_SPACE, {}, WM_SYSKEYDOWN));
    EXPECT_FALSE(translator.TranslateMessage({0x102 /* WM_CHAR */, 'a', false, false, false, false}));
    EXPECT_FALSE(Down(vk::VK_CAPITAL));
    EXPECT_FALSE(Down(vk::VK_NUMLOCK));
    EXPECT_FALSE(Down(0x1234));  // not a virtual key at all
    EXPECT_EQ(sink.codes, (Delivered{{KEYCODE_HELP, 1}, {0x591, 1}, {0x584, 1}, {0x584, 2}, {0x20, 1}}));
}

TEST_F(TranslatorTest, AutoRepeatRepeatsKeysButNotModifiers) {
    EXPECT_TRUE(Down(vk::Letter('Q')));
    EXPECT_TRUE(Down(vk::Letter('Q')));
    EXPECT_TRUE(Up(vk::Letter('Q')));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Down(vk::VK_SHIFT, {.shift = true}));
    EXPECT_TRUE(translator.ShiftHeld());
    EXPECT_TRUE(Up(vk::VK_SHIFT));
    EXPECT_FALSE(translator.ShiftHeld());
    EXPECT_EQ(sink.codes,
              (Delivered{{0x71, 1}, {0x71, 1}, {0x71, 2}, {KEYCODE_SHIFT, 1}, {KEYCODE_SHIFT, 2}}));
}

TEST_F(TranslatorTest, EitherShiftReleaseClearsAndCtrlWorksAlike) {
    Down(vk::VK_SHIFT, {.shift = true});  // left
    Down(vk::VK_SHIFT, {.shift = true});  // right: already held, nothing new
    Up(vk::VK_SHIFT, {.shift = true});    // left up, right still down
    Down(vk::VK_CONTROL, {.ctrl = true});
    Up(vk::VK_CONTROL);
    EXPECT_EQ(sink.codes, (Delivered{{KEYCODE_SHIFT, 1}, {KEYCODE_SHIFT, 2}, {KEYCODE_CTRL, 1}, {KEYCODE_CTRL, 2}}));
}

// An independent statement of sample rows, written from the instrument's key chart.
TEST(KeyTableTest, SampleRowsMatchTheChart) {
    struct Expect {
        uint32_t vk;
        int column;
        uint32_t code;
    };
    const Expect expected[] = {
        {0x08, 0, 0x7F}, {0x08, 3, 0x7F}, {0x0C, 1, 0xCC}, {0x0C, 2, 0x0C}, {0x21, 0, 0x0E},
        {0x22, 3, 0x0F}, {0x24, 1, 0x18}, {0x25, 1, 0xDF}, {0x25, 2, 0xD7}, {0x26, 0, 0x1C},
        {0x27, 3, 0xD6}, {0x28, 1, 0xDD}, {0x2D, 2, 0x19}, {0x2E, 1, 0x0C}, {0x30, 1, 0x29},
        {0x32, 1, 0x40}, {0x36, 1, 0x5E}, {0x39, 1, 0x28}, {0x39, 2, 0xFF}, {0x41, 0, 0x61},
        {0x5A, 1, 0x5A}, {0x5A, 3, 0x1A}, {0x4D, 2, 0x0D}, {0x60, 1, 0x30}, {0x69, 0, 0x39},
        {0x69, 2, 0xFF}, {0x6A, 0, 0x2A}, {0x6C, 0, 0xFF}, {0x6F, 1, 0x2F}, {0x70, 2, 0x5A1},
        {0x7E, 0, 0x58F}, {0x7E, 1, 0x59F}, {0x7E, 3, 0xFF}, {0x7F, 0, 0xFF}, {0xBA, 1, 0x3A},
        {0xBB, 0, 0x3D}, {0xC0, 1, 0x7E}, {0xDB, 1, 0x7B}, {0xDE, 0, 0x27}, {0xDE, 2, 0xFF},
        {0xDF, 0, 0xFF}, {0xE2, 0, 0xFF}, {0x23, 0, 0xFF}, {0x12, 0, 0xFF}, {0x10, 0, 0xFF},
    };
    const KeyTable& table = KeyTranslationTable();
    for (const Expect& e : expected) {
        EXPECT_EQ(table[e.vk][static_cast<size_t>(e.column)], e.code)
            << "vk 0x" << std::hex << e.vk << " column " << e.column;
    }
    int translated = 0;
    for (const auto& row : table) translated += row[0] != KEYCODE_NONE;
    EXPECT_EQ(translated, 15 + 10 + 26 + 10 + 5 + 15 + 11);
}

class KeyCodeHandlerTest : public ::testing::Test {
protected:
    void Code(uint32_t code, uint32_t action) {
        HandleKeyCode(code, action, state, helpKey, ports, [this] { ++packets; });
    }
    struct Ports : IPortSender {
        std::string sent;
        void SendByteToPorts(uint8_t b) override { sent.push_back(static_cast<char>(b)); }
        void SendTextToPorts(const std::string& t) override { sent += t; }
        void SendBufferToPorts(const uint8_t*, size_t) override { sent += "<buffer>"; }
    } ports;
    MouseState state;
    Bool32 helpKey = 0;
    int packets = 0;
};

TEST_F(KeyCodeHandlerTest, ModifiersEscAndHelp) {
    Code(KEYCODE_SHIFT, 1);
    EXPECT_EQ(state.m_bShift, 1);
    Code(KEYCODE_SHIFT, 2);
    Code(KEYCODE_CTRL, 1);
    EXPECT_EQ(state.m_bShift, 0);
    EXPECT_EQ(state.m_bCtrl, 1);
    EXPECT_EQ(packets, 3);

    Code(0x1B, 1);
    EXPECT_EQ(state.m_bEsc, 1);
    Code(0x1B, 1);
    Code(0x1B, 2);
    EXPECT_EQ(state.m_bEsc, 0);

    Code(0x591, 1);
    EXPECT_EQ(helpKey, 0);
    Code(KEYCODE_HELP, 1);
    EXPECT_EQ(helpKey, 1);
    Code(KEYCODE_HELP, 2);
    Code('a', 1);
    Code('a', 2);
    EXPECT_EQ(ports.sent, "\x1b\x1b\x91\x81" "a");
    EXPECT_EQ(packets, 3);
}

}  // namespace
}  // namespace tarvik
