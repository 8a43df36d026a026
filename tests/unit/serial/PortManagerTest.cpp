#include <gtest/gtest.h>

#include <functional>

#include "tests/support/FakeComm.h"
#include "tests/support/PortRig.h"

namespace tarvik::test {
namespace {

using namespace comm;

class PortManagerTest : public ::testing::Test, public PortRig<FakeComm> {
protected:
    std::shared_ptr<FakeLine> com1 = comm.Line("COM1");
    std::shared_ptr<FakeLine> com2 = comm.Line("COM2");
};

TEST_F(PortManagerTest, OpensBothLinesAt9600WithDtrAndRtsRaisedAndKeepsThemWithoutANumber) {
    settings.numbers[{HKEY_LOCAL_MACHINE, "Baud"}] = 19200;
    OpenWith(1, 2);
    EXPECT_TRUE(manager.m_displayPort.IsListening() && manager.m_mergePort.IsListening());
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

    // A missing number touches neither port, but the mouse state still goes out.
    settings.numbers = {{{HKEY_LOCAL_MACHINE, "Display Port"}, 0}};  // no Merge Port, no Baud
    manager.OpenPorts();
    EXPECT_TRUE(manager.m_displayPort.IsOpen() && manager.m_mergePort.IsOpen());
    EXPECT_EQ(manager.m_nDisplayPortNumber, 1);
    EXPECT_EQ(manager.m_nBaudRate, 9600);
    EXPECT_EQ(events.mousePackets, 2);
}

TEST_F(PortManagerTest, EachLinesStateIsToldOncePerChangeWithTheSystemsReasonBesideTheAlerts) {
    int told = 0;
    manager.Status().SetObserver([&told] { ++told; });
    manager.OpenPorts();
    EXPECT_EQ(manager.Status().Text(), "Display: not configured\nMerge: not configured");
    com1->target = "/dev/ttyUSB0";
    com2->target = "/dev/ttyUSB7";
    com2->present = false;
    OpenWith(1, 2);
    EXPECT_EQ(view.text, "Comms Error: Port 2") << "the display line as ever";
    OpenWith(1, 2);  // the same states again: nothing to tell
    com2->present = true;
    com2->openResult = ERROR_INVALID_FUNCTION;
    com2->openReason = kNotATerminal;
    OpenWith(0, 2);
    const std::vector<std::string> expected{
        "Display: not configured",
        "Merge: not configured",
        "Display: COM1 \u2192 /dev/ttyUSB0, open",
        "Merge: COM2 \u2192 /dev/ttyUSB7, not open: No such file or directory",
        "Display: off",
        "Merge: COM2 \u2192 /dev/ttyUSB7, not open: not a terminal",
    };
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(told, 6);
    EXPECT_EQ(manager.Status().Text(), expected[4] + "\n" + expected[5]);
}

TEST_F(PortManagerTest, LineErrorsAlertAndTheDataIsStillParsedUntilCommsAreDisabled) {
    OpenWith(1, 2);
    // Drained in 128-byte reads until one comes back short.
    const std::string waiting(300, 'd');
    com1->input = waiting;
    manager.OnPortNotification(0x00020001, PortIdDisplay);
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_EQ(events.displayInput, waiting);
    EXPECT_EQ(com1->reads, 3);
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

    manager.SetCommsEnabled(false);
    com1->input = "data";
    const int sets = view.sets;
    EXPECT_EQ(manager.OnPortNotification(0x00020001, PortIdDisplay), 0);
    EXPECT_EQ(events.displayParses, 1);
    EXPECT_EQ(view.sets, sets);
    EXPECT_FALSE(manager.OpenDisplayPort(1)) << "no port opens while disabled";
}

TEST_F(PortManagerTest, FailedReadShowsTheCodeInHexAndKeepsTheBuffer) {
    std::string buffer = "kept";
    manager.DrainPort(manager.m_displayPort, buffer);  // closed: error 6
    EXPECT_EQ(view.text, "COM Error: 06");
    EXPECT_EQ(buffer, "kept");
}

TEST_F(PortManagerTest, SendsGoToBothPortsOrToTheOneThatIsOpen) {
    OpenWith(0, 2);
    manager.SendByteToPorts(0x1B);
    EXPECT_EQ(com2->written, "\x1B");
    OpenWith(1, 2);
    const uint8_t packet[6] = {0x80, 0, 1, 2, 3, 4};
    manager.SendBufferToPorts(packet, sizeof packet);
    manager.SendTextToPorts(std::string("ab\0cd", 5));
    const std::string expected = std::string(reinterpret_cast<const char*>(packet), 6) + "ab";
    EXPECT_EQ(com1->written, expected);
    EXPECT_EQ(com2->written, "\x1B" + expected);
    EXPECT_LT(WriteTimeoutMs(SIZE_MAX / 100), comm::INFINITE) << "a huge write still has a bound";
}

TEST_F(PortManagerTest, WhatANotificationSendsGoesOutInOneWritePerLineInOrder) {
    OpenWith(1, 2);
    const int before1 = com1->writes, before2 = com2->writes;
    const std::string before = com2->written;
    events.whileParsing = [this] {
        manager.SendByteToPorts('a');
        manager.SendTextToPorts("\x80\xF0");
        manager.SendByteToPorts('b');
    };
    com2->input = "ab";
    manager.OnPortNotification(0x0001, PortIdMerge);
    EXPECT_EQ(com1->writes - before1, 1);
    EXPECT_EQ(com2->writes - before2, 1);
    EXPECT_EQ(com1->written.substr(com1->written.size() - 4),
              "a\x80\xF0"
              "b");
    EXPECT_EQ(com2->written, before +
                                 "a\x80\xF0"
                                 "b");
    // Outside a notification every send is written at once.
    events.whileParsing = nullptr;
    manager.SendByteToPorts('c');
    EXPECT_EQ(com2->written.back(), 'c');
}

constexpr uint64_t kHangUp = (static_cast<uint64_t>(CE_IOE) << 16) | EV_ERR;

class ReconnectTest : public PortManagerTest {
protected:
    // Reports a change on the way to `name`'s device and handles what that posts, as the window
    // would. False when nothing was posted.
    bool DeviceChanged(const std::string& name) {
        watches.Change(name);
        PostedMessage posted{};
        if (!window.Take(posted, std::chrono::milliseconds(0))) return false;
        EXPECT_EQ(posted.message, UWM_PORTBACK);
        manager.OnPortBack(posted.lParam);
        return true;
    }
};

TEST_F(ReconnectTest, ALostLineIsWatchedAndReopenedWithItsSettingsWithoutReplayingWhatWasTyped) {
    OpenWith(1, 2);
    com1->present = false;
    manager.OnPortNotification(kHangUp, PortIdDisplay);
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_FALSE(manager.m_displayPort.IsOpen());
    EXPECT_TRUE(manager.IsWaitingForDevice(PortIdDisplay));
    EXPECT_FALSE(manager.IsWaitingForDevice(PortIdMerge));
    EXPECT_EQ(logged.back(), "Display: COM1, hung up, waiting for it to come back");
    ASSERT_EQ(watches.made.size(), 1u);
    EXPECT_EQ(watches.made[0]->name, "COM1");
    const std::string before = com1->written;
    manager.SendByteToPorts('a');
    EXPECT_EQ(com2->written.back(), 'a') << "the other line goes on";

    // A change that does not bring the device back keeps the alert and the watch.
    ASSERT_TRUE(DeviceChanged("COM1"));
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_TRUE(manager.IsWaitingForDevice(PortIdDisplay));

    com1->present = true;
    com1->dcb = {};
    com1->dcb.BaudRate = 115200;
    com1->escapes.clear();
    ASSERT_TRUE(DeviceChanged("COM1"));
    EXPECT_TRUE(manager.m_displayPort.IsListening());
    EXPECT_EQ(com1->dcb.BaudRate, 9600u);
    EXPECT_EQ(com1->escapes, (std::vector<uint32_t>{SETDTR, SETRTS}));
    EXPECT_EQ(view.text, "Reconnected: Display");
    EXPECT_EQ(logged.back(), "Display: COM1, reconnected");
    EXPECT_EQ(events.mousePackets, 2);
    EXPECT_EQ(watches.Live(), 0);
    manager.SendByteToPorts('b');
    EXPECT_EQ(com1->written, before + "b") << "nothing typed while the line was down";
    // A report still queued from the ended watch changes nothing.
    manager.OnPortBack(PortIdDisplay);
    EXPECT_EQ(events.mousePackets, 2);
}

TEST_F(ReconnectTest, OnlyAHangUpStartsAWatchAndWhatEndsItKeepsTheLineClosed) {
    struct Case {
        const char* what;
        std::function<void(ReconnectTest&)> end;
    };
    const Case cases[] = {
        {"the user switched the line off", [](ReconnectTest& t) { t.OpenWith(1, 0); }},
        {"shutdown", [](ReconnectTest& t) { t.manager.SetCommsEnabled(false), t.manager.ClosePorts(); }},
    };
    const char* told[] = {"Merge: off", "Merge: COM2, closed"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenWith(1, 2);
        manager.OnPortNotification(0x00080001, PortIdMerge);  // a framing error is no hang-up
        EXPECT_EQ(watches.Live(), 0);
        com2->present = false;
        manager.OnPortNotification(kHangUp, PortIdMerge);
        EXPECT_TRUE(manager.IsWaitingForDevice(PortIdMerge));
        c.end(*this);
        EXPECT_EQ(logged.back(), told[&c - cases]);
        EXPECT_EQ(watches.Live(), 0);
        com2->present = true;
        EXPECT_FALSE(DeviceChanged("COM2"));
        manager.OnPortBack(PortIdMerge);
        EXPECT_FALSE(manager.m_mergePort.IsOpen());
        manager.SetCommsEnabled(true);
    }
    // A line that cannot be watched stays closed with its alert.
    OpenWith(1, 2);
    watches.result = ERROR_ACCESS_DENIED;
    manager.OnPortNotification(kHangUp, PortIdMerge);
    EXPECT_FALSE(manager.m_mergePort.IsOpen());
    EXPECT_FALSE(manager.IsWaitingForDevice(PortIdMerge));
    EXPECT_EQ(view.text, "Error: Merge");
    EXPECT_EQ(logged.back(), "Merge: COM2, hung up");
}

}  // namespace
}  // namespace tarvik::test
