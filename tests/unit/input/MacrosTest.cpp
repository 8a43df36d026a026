#include <gtest/gtest.h>

#include <map>
#include <string>

#include "input/Macros.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

struct Buttons : MacroButtons {
    std::map<int, std::string> captions;
    void setMacroCaption(int index, const std::string& caption) override { captions[index] = caption; }
};

constexpr uint32_t HKCU = HKEY_CURRENT_USER;

// "c3" by appending: GCC 12 at -O3 takes "c" + std::to_string(3) for an overlapping copy.
std::string Numbered(const char* tag, int i) { return std::string(tag).append(std::to_string(i)); }

class MacrosTest : public ::testing::Test {
protected:
    // What start-up does: load, and fall back to the defaults.
    void startUp() {
        macros = MacroArray{};
        if (!loadMacros(macros, settings, buttons)) setDefaultMacros(macros, settings, buttons);
    }
    test::FakeSettings settings;
    Buttons buttons;
    test::RecordingPorts ports;
    MacroArray macros;
};

TEST_F(MacrosTest, CaptionsFollowTheLastLoadThatSucceeded) {
    // A first run on a store that keeps nothing: the buttons stay blank, the defaults still send.
    settings.failWrites = true;
    startUp();
    EXPECT_TRUE(buttons.captions.empty());
    sendMacro(macros, 2, ports);
    EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'t', "\x0csc\r"}}));

    // Once stored and shown, a save that cannot be read back leaves the buttons as they were, while
    // the macro keeps what it was given.
    settings.failWrites = false;
    startUp();
    settings.strings.erase({HKCU, "Name1"});
    settings.failWrites = true;
    macros[0].caption = "Boot";
    EXPECT_FALSE(saveMacros(macros, settings, buttons));
    EXPECT_EQ(buttons.captions.at(0), "I1");
    EXPECT_EQ(macros[0].caption, "Boot");
}

TEST_F(MacrosTest, StoredFlagsAndTextComeBackAndSendAsWindows1252) {
    // Each macro gets its own pair of flags, so a flag read from the wrong value shows.
    for (int i = 0; i < MacroCount; ++i) { macros[i] = Macro(i & 1, (i >> 1) & 1, Numbered("c", i), Numbered("t", i)); }
    macros[4].text = "\xc3\xa9t\xc3\xa9 \xe2\x82\xac\xe4\xb8\xad";  // "été €" and a character with no byte
    macros[5].text = std::string("\x01\xFF", 2);
    macros[1].text.clear();
    ASSERT_TRUE(saveMacros(macros, settings, buttons));
    MacroArray reread;
    ASSERT_TRUE(loadMacros(reread, settings, buttons));
    for (int i = 0; i < MacroCount; ++i) {
        EXPECT_EQ(reread[i].clear, i & 1) << i;
        EXPECT_EQ(reread[i].sendReturn, (i >> 1) & 1) << i;
        EXPECT_EQ(reread[i].caption, Numbered("c", i)) << i;
        sendMacro(reread, i, ports);
    }
    sendMacro(reread, 8, ports);
    sendMacro(reread, -1, ports);
    const std::vector<test::Send> sent{
        {'t', "t0"},           {'t', "\x0c"}, {'t', "t2\r"},    {'t', "\x0ct3\r"}, {'t', "\xe9t\xe9 \x80?"},
        {'t', "\x0c\x01\xff"}, {'t', "t6\r"}, {'t', "\x0ct7\r"}};
    EXPECT_EQ(ports.sends, sent);
}

TEST_F(MacrosTest, MissingName1RestoresEveryDefault) {
    startUp();
    settings.strings[{HKCU, "Macro6"}] = "custom";
    settings.numbers[{HKCU, "Clear6"}] = 0;
    settings.strings.erase({HKCU, "Name1"});
    buttons.captions.clear();
    EXPECT_FALSE(loadMacros(macros, settings, buttons));
    EXPECT_TRUE(buttons.captions.empty());  // a failed load leaves the buttons alone
    startUp();
    EXPECT_EQ(settings.strings.at({HKCU, "Macro6"}), "fx");
    EXPECT_EQ(settings.numbers.at({HKCU, "Clear6"}), 1);
    EXPECT_EQ(macros[5].text, "fx");
    EXPECT_EQ(buttons.captions.at(0), "I1");
}

TEST_F(MacrosTest, MissingName5KeepsTheRestAndLeavesCaption5Empty) {
    startUp();
    settings.strings[{HKCU, "Macro2"}] = "custom";
    settings.strings.erase({HKCU, "Name5"});
    settings.numbers.erase({HKCU, "Clear7"});
    settings.numbers.erase({HKCU, "Return7"});
    const int writes = settings.writes;
    startUp();
    EXPECT_EQ(settings.writes, writes);  // nothing written back
    EXPECT_EQ(macros[1].text, "custom");
    EXPECT_EQ(buttons.captions.at(4), "");
    EXPECT_EQ(macros[4].text, "xc Master A 1");
    // A macro whose flags are missing starts with both off.
    EXPECT_EQ(macros[6].clear, 0);
    EXPECT_EQ(macros[6].sendReturn, 0);
}

}  // namespace
}  // namespace tarvik
