#include <gtest/gtest.h>

#include <climits>

#include "FakeComm.h"
#include "FakeSettings.h"
#include "PortManager.h"
#include "Recorders.h"

namespace tarvik::test {
namespace {

using namespace comm;

class PortManagerTest : public ::testing::Test {
protected:
    PortManagerTest() {
        events.manager = &manager;
        manager.SetCommsEnabled(true);
    }
    void StorePorts(int32_t display, int32_t merge) {
        settings.numbers[{HKEY_LOCAL_MACHINE, "Display Port"}] = display;
        settings.numbers[{HKEY_LOCAL_MACHINE, "Merge Port"}] = merge;
    }

    FakeComm comm;
    std::shared_ptr<FakeLine> com1 = comm.Line("COM1");
    std::shared_ptr<FakeLine> com2 = comm.Line("COM2");
    FakeSettings settings;
    FakeDisplayView view;
    CDisplayLine display{view};
    RecordingPoster window;
    FakePortEvents events;
    CPortManager manager{settings, display, window, events, comm};
};

TEST_F(PortManagerTest, OpensBothLinesAt9600WithDtrAndRtsRaised) {
    StorePorts(1, 2);
    settings.numbers[{HKEY_LOCAL_MACHINE, "Baud"}] = 19200;
    EXPECT_TRUE(manager.OpenPorts());
    EXPECT_TRUE(manager.m_displayPort.IsListening());
    EXPECT_TRUE(manager.m_mergePort.IsListening());
    EXPECT_EQ(manager.m_nBaudRate, 19200) << "carried, never applied";
    for (auto* line : {com1.get(), com2.get()}) {
        EXPECT_EQ(line->dcb.BaudRate, 9600u);
        EXPECT_EQ(line->dcb.ByteSize, 8);
        EXPECT_EQ(line->dcb.Parity, NOPARITY);
        EXPECT_EQ(line->dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(line->escapes, (std::vector<uint32_t>{SETDTR, SETRTS}));
    }
    EXPECT_EQ(events.mousePackets, 1);
    EXPECT_EQ(view.restores, 0);
}

TEST_F(PortManagerTest, MissingPortNumberTouchesNoPortButStillSendsTheMousePacket) {
    StorePorts(1, 2);
    manager.OpenPorts();
    settings.numbers.erase({HKEY_LOCAL_MACHINE, "Merge Port"});
    settings.numbers[{HKEY_LOCAL_MACHINE, "Display Port"}] = 0;
    manager.OpenPorts();
    EXPECT_TRUE(manager.m_displayPort.IsOpen());
    EXPECT_TRUE(manager.m_mergePort.IsOpen());
    EXPECT_EQ(manager.m_nDisplayPortNumber, 1);
    EXPECT_EQ(manager.m_nBaudRate, 9600);
    EXPECT_EQ(events.mousePackets, 2);
}

TEST_F(PortManagerTest, NumbersBelowOneAreOffWithoutAlert) {
    StorePorts(1, 2);
    manager.OpenPorts();
    for (int32_t number : {0, -1, INT_MIN}) {
        StorePorts(number, number);
        manager.OpenPorts();
        EXPECT_FALSE(manager.m_displayPort.IsOpen());
        EXPECT_FALSE(manager.m_mergePort.IsOpen());
        EXPECT_EQ(manager.m_nDisplayPortNumber, number);
        EXPECT_EQ(manager.m_nMergePortNumber, number);
    }
    EXPECT_EQ(view.sets, 0);
    EXPECT_EQ(view.restores, 0);
}

TEST_F(PortManagerTest, FailedOpenShowsCommsErrorAndTheOtherPortStillOpens) {
    StorePorts(3, 2);
    manager.OpenPorts();
    EXPECT_EQ(view.text, "Comms Error: Port 3");
    EXPECT_EQ(view.restores, 1);
    EXPECT_FALSE(manager.m_displayPort.IsOpen());
    EXPECT_TRUE(manager.m_mergePort.IsOpen());
    // The next run puts the remembered text back before trying again.
    display.ShowRemembered("Piano");
    StorePorts(INT_MAX, 2);
    manager.OpenPorts();
    EXPECT_EQ(view.text, "Comms Error: Port 2147483647");
}

TEST_F(PortManagerTest, NotificationsAreIgnoredOnceCommsAreDisabled) {
    StorePorts(1, 2);
    manager.OpenPorts();
    com1->input = "data";
    manager.SetCommsEnabled(false);
    EXPECT_EQ(manager.OnPortNotification(0x00020001, PortIdDisplay), 0);
    EXPECT_EQ(events.displayParses, 0);
    EXPECT_EQ(view.sets, 0);
    EXPECT_FALSE(manager.OpenDisplayPort(1)) << "no port opens while disabled";
}

TEST_F(PortManagerTest, LineErrorsAlertAndTheDataIsStillParsed) {
    StorePorts(1, 2);
    manager.OpenPorts();
    com1->input = "abc";
    manager.OnPortNotification(0x00020001, PortIdDisplay);
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_EQ(events.displayInput, "abc");
    com2->input = "xy";
    manager.OnPortNotification(0x00080001, PortIdMerge);
    EXPECT_EQ(view.text, "Error: Merge");
    EXPECT_EQ(events.mergeInput, "xy");
    // Errors or a break without data only alert; unknown identifiers do nothing.
    manager.OnPortNotification(0x04000080, PortIdMerge);
    EXPECT_EQ(events.mergeParses, 1);
    view.text.clear();
    manager.OnPortNotification(0x00080001, 103);
    EXPECT_EQ(view.text, "");
}

TEST_F(PortManagerTest, DrainReadsInChunksUntilAShortRead) {
    StorePorts(1, 2);
    manager.OpenPorts();
    com1->input = std::string(128, 'a');
    std::string buffer;
    manager.DrainPort(manager.m_displayPort, buffer);
    EXPECT_EQ(buffer.size(), 128u);
    EXPECT_EQ(com1->readCalls, 2);
    std::string bytes(300, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    com1->input = bytes;
    buffer.clear();
    manager.DrainPort(manager.m_displayPort, buffer);
    EXPECT_EQ(buffer, bytes) << "every byte value, in order";
}

TEST_F(PortManagerTest, FailedReadShowsTheCodeInHex) {
    std::string buffer = "kept";
    manager.DrainPort(manager.m_displayPort, buffer);  // closed: error 6
    EXPECT_EQ(view.text, "COM Error: 06");
    EXPECT_EQ(buffer, "kept");
}

TEST_F(PortManagerTest, SendsGoToBothPortsOrToTheOneThatIsOpen) {
    StorePorts(0, 2);
    manager.OpenPorts();
    manager.SendByteToPorts(0x1B);
    EXPECT_EQ(com2->written, "\x1B");
    StorePorts(1, 2);
    manager.OpenPorts();
    const uint8_t packet[6] = {0x80, 0, 1, 2, 3, 4};
    manager.SendBufferToPorts(packet, sizeof packet);
    manager.SendTextToPorts(std::string("ab\0cd", 5));
    const std::string expected = std::string(reinterpret_cast<const char*>(packet), 6) + "ab";
    EXPECT_EQ(com1->written, expected);
    EXPECT_EQ(com2->written, "\x1B" + expected);
}

TEST(WriteTimeoutTest, IsTheLineTimeOfTheBytesPlusASecond) {
    EXPECT_EQ(WriteTimeoutMs(0), 1000u);
    EXPECT_EQ(WriteTimeoutMs(1), 1002u);
    EXPECT_EQ(WriteTimeoutMs(960), 2000u);
    EXPECT_LT(WriteTimeoutMs(SIZE_MAX / 100), comm::INFINITE);
}

}  // namespace
}  // namespace tarvik::test
