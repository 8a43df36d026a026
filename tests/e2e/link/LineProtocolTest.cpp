// What arrives on the two lines, through the real window: names from the Display Port, the
// instrument's own keyboard and mouse from the Merge Port, and the function and toggle buttons.
#include <QPushButton>

#include "tests/e2e/link/LinkFixture.h"
#include "tests/support/LineRecorders.h"

namespace tarvik::test {
namespace {

using LineProtocol = LinkTest;

TEST_F(LineProtocol, InstrumentMousePacketsAreTakenOverSentOnAndRepeatsDropped) {
    ASSERT_TRUE(merge.send(bytes({0x80, 0xF0, 0xE1, 0xE2, 0xE3, 0xE4})));
    EXPECT_EQ(Collect(6), Both("80 F0 E1 E2 E3 E4"));
    EXPECT_EQ(dlg->session().mouseState().m_instrumentCursor, (Point{65, 892}));
    EXPECT_TRUE(dlg->session().mouseState().m_mouseActive);

    // The same packet again goes nowhere; the key byte after it shows it was handled.
    ASSERT_TRUE(merge.send(bytes({0x80, 0xF0, 0xE1, 0xE2, 0xE3, 0xE4, 0x41})));
    EXPECT_EQ(Collect(1), Both("41"));

    // Shift and Ctrl from the instrument's mouse light the buttons; bit 0 never goes out. A packet
    // split across notifications is assembled.
    ASSERT_TRUE(merge.send(bytes({0x80, 0xF7, 0xE1})));
    ASSERT_TRUE(RunUntil([&] { return dlg->session().link().mergeParser().pendingPacket().size() == 3; }));
    ASSERT_TRUE(merge.send(bytes({0xE2, 0xE3, 0xE4})));
    EXPECT_EQ(Collect(6), Both("80 F6 E1 E2 E3 E4"));
    EXPECT_TRUE(dlg->m_shiftButton->isChecked() && dlg->m_ctrlButton->isChecked());
    // Broken packets and key bytes are passed on unchanged, and leave nothing pending.
    ASSERT_TRUE(merge.send(bytes({0x80, 0xF0, 0x41, 0x80, 0x80, 0x41, 0xE5})));
    EXPECT_EQ(Collect(7), Both("80 F0 41 80 80 41 E5"));
    EXPECT_TRUE(dlg->session().link().mergeParser().pendingPacket().empty());
}

TEST_F(LineProtocol, NamesAreReportedOnceClientsFirst) {
    RecordingClients clients;
    clients.dlg = dlg;
    dlg->session().setAutomationObject(&clients);
    auto shows = [&](const std::string& text) { return RunUntil([&] { return dlg->getDisplayText() == text; }); };

    // Text before the first field is ignored.
    ASSERT_TRUE(display.send("noise\rDX-7 Synth 2"));
    ASSERT_TRUE(shows("DX-7 Synth 2"));

    // The same name again, then a field cut short, then a new name: only the new one is told.
    ASSERT_TRUE(
        display.send("\x0C"
                     "DX-7 Synth 2\x0C"
                     "short\rGrand Piano "));
    ASSERT_TRUE(shows("Grand Piano "));
    EXPECT_EQ(clients.names, (std::vector<std::string>{"DX-7 Synth 2", "Grand Piano "}));
    EXPECT_NE(clients.shownWhenFired.back(), "Grand Piano ");

    // Control and high bytes count towards the twelve but are not shown; a field may span reads.
    ASSERT_TRUE(display.send(bytes({0x0D, 0x01, 0x85}) + "Str"));
    ASSERT_TRUE(RunUntil([&] { return dlg->session().link().displayParser().nameCount() == 5; }));
    ASSERT_TRUE(display.send("ings 12"));
    ASSERT_TRUE(shows("Strings 12"));
    dlg->showText("passing alert");
    dlg->restoreRemembered();
    EXPECT_EQ(dlg->getDisplayText(), "Strings 12");
    dlg->session().setAutomationObject(nullptr);
}

TEST_F(LineProtocol, ButtonsSendMacrosEscAndModifierPackets) {
    dlg->m_macroButton[0]->click();
    EXPECT_EQ(Collect(4), Both("0C 69 31 0D"));

    dlg->m_shiftButton->click();
    EXPECT_TRUE(dlg->session().mouseState().m_shift);
    EXPECT_EQ(Collect(6), Both(Packet(dlg->session().mouseState())));
    EXPECT_EQ(Packet(dlg->session().mouseState()).substr(3, 2), "E4");
    dlg->m_shiftButton->click();
    EXPECT_EQ(Collect(6), Both(Packet(dlg->session().mouseState())));
    EXPECT_FALSE(dlg->session().mouseState().m_shift);

    dlg->m_escButton->click();
    EXPECT_EQ(Collect(1), Both("1B"));
    EXPECT_FALSE(dlg->m_escButton->isChecked());
}

}  // namespace
}  // namespace tarvik::test
