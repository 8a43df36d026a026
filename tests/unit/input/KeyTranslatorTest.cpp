// What the window's keyboard path does not show on its own; the keys themselves are tested through
// the real window in the link tests.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "input/KeyCodeHandler.h"
#include "input/KeyTranslator.h"
#include "input/VirtualKeyCodes.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

using Delivered = std::vector<std::pair<uint32_t, uint32_t>>;

struct RecordingSink : IKeyCodeSink {
    Delivered codes;
    void OnKeyCode(uint32_t code, uint32_t action) override { codes.push_back({code, action}); }
};

TEST(KeyTranslatorTest, MessagesKeysAndModifiersTheTableDoesNotCover) {
    struct Row {
        const char* what;
        KeyMessage message;
        bool consumed;
        Delivered codes;
    };
    const Row rows[] = {
        {"Caps Lock leaves punctuation", {WM_KEYDOWN, vk::VK_OEM_1, false, false, false, true}, true, {{0x3B, 1}}},
        {"Ctrl+A ignores Caps Lock", {WM_KEYDOWN, vk::Letter('A'), false, false, true, true}, true, {{0x01, 1}}},
        {"Alt+F4 goes up too", {WM_SYSKEYUP, vk::F(4), true, false, false, false}, true, {{0x584, 2}}},
        {"Alt alone", {WM_KEYDOWN, vk::VK_MENU, false, false, false, false}, false, {}},
        {"Caps Lock key", {WM_KEYDOWN, vk::VK_CAPITAL, false, false, false, false}, false, {}},
        {"Num Lock key", {WM_KEYDOWN, vk::VK_NUMLOCK, false, false, false, false}, false, {}},
        {"a character message", {0x102 /* WM_CHAR */, 'a', false, false, false, false}, false, {}},
        {"not a virtual key", {WM_KEYDOWN, 0x1234, false, false, false, false}, false, {}},
    };
    for (const Row& row : rows) {
        RecordingSink sink;
        CKeyTranslator translator(sink);
        EXPECT_EQ(translator.TranslateMessage(row.message), row.consumed) << row.what;
        EXPECT_EQ(sink.codes, row.codes) << row.what;
    }
}

TEST(KeyCodeHandlerTest, HelpKeyIsMarkedAtThePressAndEscIsHeldUntilItsRelease) {
    MouseState state;
    Bool32 helpKey = 0;
    test::RecordingPorts ports;
    int packets = 0;
    auto code = [&](uint32_t c, uint32_t action) {
        HandleKeyCode(c, action, state, helpKey, ports, [&] { ++packets; });
    };
    code(0x591, 1);
    EXPECT_EQ(helpKey, 0) << "Shift+F1 is no help key";
    code(KEYCODE_HELP, 1);
    EXPECT_EQ(helpKey, 1);
    code(KEYCODE_HELP, 2);
    code(0x1B, 1);
    EXPECT_EQ(state.m_bEsc, 1);
    code(0x1B, 2);
    EXPECT_EQ(state.m_bEsc, 0);
    EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'b', "\x91"}, {'b', "\x81"}, {'b', "\x1b"}}));
    EXPECT_EQ(packets, 0);
}

// An independent statement of sample rows, written from the instrument's key chart.
TEST(KeyTableTest, SampleRowsMatchTheChart) {
    struct Expect {
        uint32_t vk;
        int column;
        uint32_t code;
    };
    const Expect expected[] = {
        {0x08, 0, 0x7F},  {0x08, 3, 0x7F},  {0x0C, 1, 0xCC}, {0x0C, 2, 0x0C}, {0x21, 0, 0x0E}, {0x22, 3, 0x0F},
        {0x24, 1, 0x18},  {0x25, 1, 0xDF},  {0x25, 2, 0xD7}, {0x26, 0, 0x1C}, {0x27, 3, 0xD6}, {0x28, 1, 0xDD},
        {0x2D, 2, 0x19},  {0x2E, 1, 0x0C},  {0x30, 1, 0x29}, {0x32, 1, 0x40}, {0x36, 1, 0x5E}, {0x39, 1, 0x28},
        {0x39, 2, 0xFF},  {0x41, 0, 0x61},  {0x5A, 1, 0x5A}, {0x5A, 3, 0x1A}, {0x4D, 2, 0x0D}, {0x60, 1, 0x30},
        {0x69, 0, 0x39},  {0x69, 2, 0xFF},  {0x6A, 0, 0x2A}, {0x6C, 0, 0xFF}, {0x6F, 1, 0x2F}, {0x70, 2, 0x5A1},
        {0x7E, 0, 0x58F}, {0x7E, 1, 0x59F}, {0x7E, 3, 0xFF}, {0x7F, 0, 0xFF}, {0xBA, 1, 0x3A}, {0xBB, 0, 0x3D},
        {0xC0, 1, 0x7E},  {0xDB, 1, 0x7B},  {0xDE, 0, 0x27}, {0xDE, 2, 0xFF}, {0xDF, 0, 0xFF}, {0xE2, 0, 0xFF},
        {0x23, 0, 0xFF},  {0x12, 0, 0xFF},  {0x10, 0, 0xFF},
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

}  // namespace
}  // namespace tarvik
