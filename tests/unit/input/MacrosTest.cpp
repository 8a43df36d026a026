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

TEST_F(MacrosTest, FirstRunStoresAllDefaults) {
    StartUp();
    EXPECT_EQ(settings.strings.size() + settings.numbers.size(), 32u);
    EXPECT_EQ(settings.strings.at({HKCU, "Macro5"}), "xc Master A 1");
    EXPECT_EQ(settings.strings.at({HKCU, "Name3"}), "Sys Config");
    EXPECT_EQ(settings.numbers.at({HKCU, "Clear8"}), 1);
    EXPECT_EQ(settings.numbers.at({HKCU, "Return1"}), 1);
    EXPECT_EQ(buttons.captions.at(0), "I1");
    EXPECT_EQ(buttons.captions.at(7), "Ic");

    SendMacro(macros, 0, ports);
    EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'t',
                                                     "\x0c"
                                                     "i1\r"}}));
}

TEST_F(MacrosTest, ComposedTextFollowsTheFlagsInOneSend) {
    macros[2] = CMacro(0, 0, "abc", "abc");
    macros[3] = CMacro(1, 0, "clr", "");
    macros[4] = CMacro(0, 1, "raw", std::string("\x01\xFF", 2));
    SendMacro(macros, 2, ports);
    SendMacro(macros, 3, ports);
    SendMacro(macros, 4, ports);
    SendMacro(macros, 8, ports);
    SendMacro(macros, -1, ports);
    EXPECT_EQ(ports.sends, (std::vector<test::Send>{{'t', "abc"}, {'t', "\x0c"}, {'t', "\x01\xFF\r"}}));
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
