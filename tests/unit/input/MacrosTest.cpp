#include <gtest/gtest.h>

#include <map>
#include <string>

#include "input/Macros.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

struct Buttons : IMacroButtons {
    std::map<int, std::string> captions;
    void SetMacroCaption(int index, const std::string& caption) override { captions[index] = caption; }
};

constexpr uint32_t HKCU = HKEY_CURRENT_USER;

// "c3" by appending: GCC 12 at -O3 takes "c" + std::to_string(3) for an overlapping copy.
std::string Numbered(const char* tag, int i) { return std::string(tag).append(std::to_string(i)); }

class MacrosTest : public ::testing::Test {
protected:
    // What start-up does: load, and fall back to the defaults.
    void StartUp() {
        macros = MacroArray{};
        if (!LoadMacros(macros, settings, buttons)) SetDefaultMacros(macros, settings, buttons);
    }
    test::FakeSettings settings;
    Buttons buttons;
    test::RecordingPorts ports;
    MacroArray macros;
};

TEST_F(MacrosTest, CaptionsFollowTheLastLoadThatSucceeded) {
    // A first run on a store that keeps nothing: the buttons stay blank, the defaults still send.
    settings.failWrites = true;
    StartUp();
    EXPECT_TRUE(buttons.captions.empty());
    SendMacro(macros, 2, ports);
    EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'t', "\x0csc\r"}}));

    // Once stored and shown, a save that cannot be read back leaves the buttons as they were, while
    // the macro keeps what it was given.
    settings.failWrites = false;
    StartUp();
    settings.strings.erase({HKCU, "Name1"});
    settings.failWrites = true;
    macros[0].Caption = "Boot";
    EXPECT_FALSE(SaveMacros(macros, settings, buttons));
    EXPECT_EQ(buttons.captions.at(0), "I1");
    EXPECT_EQ(macros[0].Caption, "Boot");
}

TEST_F(MacrosTest, StoredFlagsAndTextComeBackAndSendAsWindows1252) {
    // Each macro gets its own pair of flags, so a flag read from the wrong value shows.
    for (int i = 0; i < kMacroCount; ++i) {
        macros[i] = CMacro(i & 1, (i >> 1) & 1, Numbered("c", i), Numbered("t", i));
    }
    macros[4].Text = "\xc3\xa9t\xc3\xa9 \xe2\x82\xac\xe4\xb8\xad";  // "été €" and a character with no byte
    macros[5].Text = std::string("\x01\xFF", 2);
    macros[1].Text.clear();
    ASSERT_TRUE(SaveMacros(macros, settings, buttons));
    MacroArray reread;
    ASSERT_TRUE(LoadMacros(reread, settings, buttons));
    for (int i = 0; i < kMacroCount; ++i) {
        EXPECT_EQ(reread[i].Clear, i & 1) << i;
        EXPECT_EQ(reread[i].Return, (i >> 1) & 1) << i;
        EXPECT_EQ(reread[i].Caption, Numbered("c", i)) << i;
        SendMacro(reread, i, ports);
    }
    SendMacro(reread, 8, ports);
    SendMacro(reread, -1, ports);
    const std::vector<test::Send> sent{
        {'t', "t0"},           {'t', "\x0c"}, {'t', "t2\r"},    {'t', "\x0ct3\r"}, {'t', "\xe9t\xe9 \x80?"},
        {'t', "\x0c\x01\xff"}, {'t', "t6\r"}, {'t', "\x0ct7\r"}};
    EXPECT_EQ(ports.sends, sent);
}

TEST_F(MacrosTest, MissingName1RestoresEveryDefault) {
    StartUp();
    settings.strings[{HKCU, "Macro6"}] = "custom";
    settings.numbers[{HKCU, "Clear6"}] = 0;
    settings.strings.erase({HKCU, "Name1"});
    buttons.captions.clear();
    EXPECT_FALSE(LoadMacros(macros, settings, buttons));
    EXPECT_TRUE(buttons.captions.empty());  // a failed load leaves the buttons alone
    StartUp();
    EXPECT_EQ(settings.strings.at({HKCU, "Macro6"}), "fx");
    EXPECT_EQ(settings.numbers.at({HKCU, "Clear6"}), 1);
    EXPECT_EQ(macros[5].Text, "fx");
    EXPECT_EQ(buttons.captions.at(0), "I1");
}

TEST_F(MacrosTest, MissingName5KeepsTheRestAndLeavesCaption5Empty) {
    StartUp();
    settings.strings[{HKCU, "Macro2"}] = "custom";
    settings.strings.erase({HKCU, "Name5"});
    settings.numbers.erase({HKCU, "Clear7"});
    settings.numbers.erase({HKCU, "Return7"});
    const int writes = settings.writes;
    StartUp();
    EXPECT_EQ(settings.writes, writes);  // nothing written back
    EXPECT_EQ(macros[1].Text, "custom");
    EXPECT_EQ(buttons.captions.at(4), "");
    EXPECT_EQ(macros[4].Text, "xc Master A 1");
    // A macro whose flags are missing starts with both off.
    EXPECT_EQ(macros[6].Clear, 0);
    EXPECT_EQ(macros[6].Return, 0);
}

}  // namespace
}  // namespace tarvik
