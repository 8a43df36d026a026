// What the window's keyboard path does not show on its own; the keys themselves are tested through
// the real window in the link tests.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "input/KeyCodeHandler.h"
#include "input/KeyTranslator.h"
#include "input/VirtualKeyCodes.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

using Delivered = std::vector<std::pair<uint32_t, uint32_t>>;

struct RecordingSink : KeyCodeSink {
    Delivered codes;
    void onKeyCode(uint32_t code, uint32_t action) override { codes.push_back({code, action}); }
};

TEST(KeyTranslatorTest, MessagesKeysAndModifiersTheTableDoesNotCover) {
    struct Row {
        const char* what;
        KeyMessage message;
        bool consumed;
        Delivered codes;
    };
    const Row rows[] = {
        {"Caps Lock leaves punctuation",
         {KeyEventKind::KeyDown, vk::VK_OEM_1, false, false, false, true},
         true,
         {{0x3B, 1}}},
        {"Ctrl+A ignores Caps Lock",
         {KeyEventKind::KeyDown, vk::letter('A'), false, false, true, true},
         true,
         {{0x01, 1}}},
        {"Alt+F4 goes up too", {KeyEventKind::SystemKeyUp, vk::f(4), true, false, false, false}, true, {{0x584, 2}}},
        {"Alt alone", {KeyEventKind::KeyDown, vk::VK_MENU, false, false, false, false}, false, {}},
        {"Caps Lock key", {KeyEventKind::KeyDown, vk::VK_CAPITAL, false, false, false, false}, false, {}},
        {"Num Lock key", {KeyEventKind::KeyDown, vk::VK_NUMLOCK, false, false, false, false}, false, {}},
        {"not a virtual key", {KeyEventKind::KeyDown, 0x1234, false, false, false, false}, false, {}},
    };
    for (const Row& row : rows) {
        RecordingSink sink;
        KeyTranslator translator(sink);
        EXPECT_EQ(translator.translateMessage(row.message), row.consumed) << row.what;
        EXPECT_EQ(sink.codes, row.codes) << row.what;
    }
}

TEST(KeyCodeHandlerTest, LosingTheKeyboardReleasesHeldModifiersWithOnePacketAndLeavesToggles) {
    struct Row {
        const char* what;
        bool holdShift, holdCtrl, shiftToggle, ctrlToggle;
        int packets;
        int32_t shiftAfter, ctrlAfter;
    };
    const Row rows[] = {
        {"both held", true, true, false, false, 1, 0, 0},
        {"Shift held, Ctrl toggled on screen", true, false, false, true, 1, 0, 1},
        {"only toggles", false, false, true, true, 0, 1, 1},
        {"nothing", false, false, false, false, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MouseState state;
        int32_t helpKey = 0;
        test::RecordingPorts ports;
        int packets = 0;
        auto sendPacket = [&] { ++packets; };
        struct Sink : KeyCodeSink {
            std::function<void(uint32_t, uint32_t)> deliver;
            void onKeyCode(uint32_t code, uint32_t action) override { deliver(code, action); }
        } sink;
        sink.deliver = [&](uint32_t c, uint32_t a) { handleKeyCode(c, a, state, helpKey, ports, sendPacket); };
        KeyTranslator translator(sink);
        if (row.holdShift) translator.translateKey(vk::VK_SHIFT, ModShift, KEY_ACTION_PRESS);
        if (row.holdCtrl) translator.translateKey(vk::VK_CONTROL, ModCtrl, KEY_ACTION_PRESS);
        state.m_shift |= row.shiftToggle ? 1 : 0;
        state.m_ctrl |= row.ctrlToggle ? 1 : 0;
        packets = 0;
        releaseHeldModifiers(translator, state, sendPacket);
        EXPECT_EQ(packets, row.packets);
        EXPECT_EQ(state.m_shift, row.shiftAfter);
        EXPECT_EQ(state.m_ctrl, row.ctrlAfter);
        releaseHeldModifiers(translator, state, sendPacket);
        EXPECT_EQ(packets, row.packets) << "released once";
        // Back in the window, Shift held again is a fresh press.
        translator.translateKey(vk::VK_SHIFT, ModShift, KEY_ACTION_PRESS);
        EXPECT_EQ(state.m_shift, 1);
    }
}

// The whole table against an independent transcription of the instrument's key chart: the rows
// with their four columns (None, Shift, Ctrl, Ctrl+Shift) as the chart prints them; every row not
// listed translates nothing.
TEST(KeyTableTest, EveryRowMatchesTheChart) {
    using Row = std::array<uint32_t, 4>;
    constexpr uint32_t n = KEYCODE_NONE;
    std::map<uint32_t, Row> chart{
        {0x08, {0x7F, 0x7F, 0x7F, 0x7F}}, {0x09, {0x09, 0x09, 0x09, 0x09}}, {0x0C, {0x0C, 0xCC, 0x0C, 0x0C}},
        {0x0D, {0x0D, 0x0D, 0x0D, 0x0D}}, {0x1B, {0x1B, 0x1B, 0x1B, 0x1B}}, {0x20, {0x20, 0x20, 0x20, 0x20}},
        {0x21, {0x0E, 0x0E, 0x0E, 0x0E}}, {0x22, {0x0F, 0x0F, 0x0F, 0x0F}}, {0x24, {0x18, 0x18, 0x18, 0x18}},
        {0x25, {0x1F, 0xDF, 0xD7, 0xD7}}, {0x26, {0x1C, 0xDC, 0xD4, 0xD4}}, {0x27, {0x1E, 0xDE, 0xD6, 0xD6}},
        {0x28, {0x1D, 0xDD, 0xD5, 0xD5}}, {0x2D, {0x19, 0x19, 0x19, 0x19}}, {0x2E, {0x0C, 0x0C, 0x0C, 0x0C}},
        {0x30, {0x30, 0x29, n, n}},       {0x31, {0x31, 0x21, n, n}},       {0x32, {0x32, 0x40, 0x00, 0x00}},
        {0x33, {0x33, 0x23, n, n}},       {0x34, {0x34, 0x24, n, n}},       {0x35, {0x35, 0x25, n, n}},
        {0x36, {0x36, 0x5E, n, n}},       {0x37, {0x37, 0x26, n, n}},       {0x38, {0x38, 0x2A, n, n}},
        {0x39, {0x39, 0x28, n, n}},       {0x6A, {0x2A, 0x2A, n, n}},       {0x6B, {0x2B, 0x2B, n, n}},
        {0x6D, {0x2D, 0x2D, n, n}},       {0x6E, {0x2E, 0x2E, n, n}},       {0x6F, {0x2F, 0x2F, n, n}},
        {0x70, {0x581, 0x591, 0x5A1, n}}, {0x71, {0x582, 0x592, 0x5A2, n}}, {0x72, {0x583, 0x593, 0x5A3, n}},
        {0x73, {0x584, 0x594, 0x5A4, n}}, {0x74, {0x585, 0x595, 0x5A5, n}}, {0x75, {0x586, 0x596, 0x5A6, n}},
        {0x76, {0x587, 0x597, 0x5A7, n}}, {0x77, {0x588, 0x598, 0x5A8, n}}, {0x78, {0x589, 0x599, 0x5A9, n}},
        {0x79, {0x58A, 0x59A, 0x5AA, n}}, {0x7A, {0x58B, 0x59B, 0x5AB, n}}, {0x7B, {0x58C, 0x59C, 0x5AC, n}},
        {0x7C, {0x58D, 0x59D, 0x5AD, n}}, {0x7D, {0x58E, 0x59E, 0x5AE, n}}, {0x7E, {0x58F, 0x59F, 0x5AF, n}},
        {0xBA, {0x3B, 0x3A, n, n}},       {0xBB, {0x3D, 0x2B, n, n}},       {0xBC, {0x2C, 0x3C, n, n}},
        {0xBD, {0x2D, 0x5F, n, n}},       {0xBE, {0x2E, 0x3E, n, n}},       {0xBF, {0x2F, 0x3F, n, n}},
        {0xC0, {0x60, 0x7E, n, n}},       {0xDB, {0x5B, 0x7B, n, n}},       {0xDC, {0x5C, 0x7C, n, n}},
        {0xDD, {0x5D, 0x7D, n, n}},       {0xDE, {0x27, 0x22, n, n}},
    };
    for (uint32_t letter = 0; letter < 26; ++letter) {
        chart[0x41 + letter] = {0x61 + letter, 0x41 + letter, 0x01 + letter, 0x01 + letter};
    }
    for (uint32_t digit = 0; digit < 10; ++digit) chart[0x60 + digit] = {0x30 + digit, 0x30 + digit, n, n};

    const KeyTable& table = keyTranslationTable();
    for (uint32_t vk = 0; vk < 256; ++vk) {
        const auto listed = chart.find(vk);
        const Row want = listed != chart.end() ? listed->second : Row{n, n, n, n};
        const Row got{table[vk][0], table[vk][1], table[vk][2], table[vk][3]};
        EXPECT_EQ(got, want) << "row 0x" << std::hex << vk;
    }
}

}  // namespace
}  // namespace tarvik
