#include <gtest/gtest.h>

#include <functional>

#include "lines/SerialLine.h"
#include "tests/support/FakeLine.h"
#include "tests/support/PortRig.h"

namespace tarvik::test {
namespace {

class PortManagerTest : public ::testing::Test, public PortRig<FakeLines> {
protected:
    std::shared_ptr<FakeLineState> com1 = lines.line("COM1");
    std::shared_ptr<FakeLineState> com2 = lines.line("COM2");
};

TEST_F(PortManagerTest, OpensBothLinesCarriesBaudAndKeepsTheLinesWithoutANumber) {
    settings.numbers[{HKEY_LOCAL_MACHINE, "Baud"}] = 19200;
    openWith(1, 2);
    EXPECT_TRUE(manager.isOpen(PortIdDisplay) && manager.isOpen(PortIdMerge));
    EXPECT_EQ(manager.baudRate(), 19200) << "carried, never applied";
    EXPECT_EQ(events.mousePackets, 1);
    EXPECT_EQ(view.restores, 0);

    // A missing number touches neither port, but the mouse state still goes out.
    settings.numbers = {{{HKEY_LOCAL_MACHINE, "Display Port"}, 0}};  // no Merge Port, no Baud
    manager.openPorts();
    EXPECT_TRUE(com1->open() && com2->open());
    EXPECT_EQ(manager.displayPortNumber(), 1);
    EXPECT_EQ(manager.baudRate(), 9600);
    EXPECT_EQ(events.mousePackets, 2);
}

TEST_F(PortManagerTest, EachLinesStateIsToldOncePerChangeWithTheSystemsReasonBesideTheAlerts) {
    int told = 0;
    manager.status().setObserver([&told] { ++told; });
    manager.openPorts();
    EXPECT_EQ(manager.status().text(), "Display: not configured\nMerge: not configured");
    com1->target = "/dev/ttyUSB0";
    com2->target = "/dev/ttyUSB7";
    com2->present = false;
    openWith(1, 2);
    EXPECT_EQ(view.text, "Comms Error: Port 2") << "the display line as ever";
    openWith(1, 2);  // the same states again: nothing to tell
    com2->present = true;
    com2->openError = {ERROR_INVALID_FUNCTION, comm::NotATerminal};
    openWith(0, 2);
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
    EXPECT_EQ(manager.status().text(), expected[4] + "\n" + expected[5]);
}

TEST_F(PortManagerTest, LineErrorsAlertAndTheDataIsStillParsedUntilCommsAreDisabled) {
    openWith(1, 2);
    // Drained in 128-byte reads until one comes back short.
    const std::string waiting(300, 'd');
    com1->arrive(waiting, /*withErrors=*/true);
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_EQ(events.displayBytes, waiting);
    EXPECT_EQ(com1->reads, 3);
    com2->arrive("xy", true);
    EXPECT_EQ(view.text, "Error: Merge");
    EXPECT_EQ(events.mergeBytes, "xy");

    manager.setCommsEnabled(false);
    const int sets = view.sets;
    com1->arrive("data", true);
    EXPECT_EQ(events.displayArrivals, 1);
    EXPECT_EQ(view.sets, sets);
    EXPECT_FALSE(manager.openDisplayPort(1)) << "no port opens while disabled";
}

TEST_F(PortManagerTest, AFailedReadShowsItsCodeInHexAndWhatCameBeforeIsParsed) {
    openWith(1, 2);
    com1->readFailure = ERROR_GEN_FAILURE;
    com1->arrive(std::string(128, 'a'));
    EXPECT_EQ(view.text, "COM Error: 1f");
    EXPECT_EQ(events.displayBytes, std::string(128, 'a'));
}

TEST_F(PortManagerTest, SendsGoToBothPortsOrToTheOneThatIsOpen) {
    openWith(0, 2);
    manager.sendByteToPorts(0x1B);
    EXPECT_EQ(com2->written, "\x1B");
    openWith(1, 2);
    const uint8_t packet[6] = {0x80, 0, 1, 2, 3, 4};
    manager.sendBufferToPorts(packet, sizeof packet);
    manager.sendTextToPorts(std::string("ab\0cd", 5));
    const std::string expected = std::string(reinterpret_cast<const char*>(packet), 6) + "ab";
    EXPECT_EQ(com1->written, expected);
    EXPECT_EQ(com2->written, "\x1B" + expected);
}

TEST_F(PortManagerTest, WhatAnArrivalSendsGoesOutInOneWritePerLineInOrder) {
    openWith(1, 2);
    const int before1 = com1->writes, before2 = com2->writes;
    const std::string before = com2->written;
    events.whileHandling = [this] {
        manager.sendByteToPorts('a');
        manager.sendTextToPorts("\x80\xF0");
        manager.sendByteToPorts('b');
    };
    com2->arrive("ab");
    EXPECT_EQ(com1->writes - before1, 1);
    EXPECT_EQ(com2->writes - before2, 1);
    EXPECT_EQ(com1->written.substr(com1->written.size() - 4),
              "a\x80\xF0"
              "b");
    EXPECT_EQ(com2->written, before +
                                 "a\x80\xF0"
                                 "b");
    // Outside the handling of an arrival every send is written at once.
    events.whileHandling = nullptr;
    manager.sendByteToPorts('c');
    EXPECT_EQ(com2->written.back(), 'c');
}

TEST_F(PortManagerTest, ALostLineIsWatchedAndReopenedWithoutReplayingWhatWasTyped) {
    openWith(1, 2);
    com1->present = false;
    com1->hangUp();
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_FALSE(com1->open());
    EXPECT_TRUE(manager.isWaitingForDevice(PortIdDisplay));
    EXPECT_FALSE(manager.isWaitingForDevice(PortIdMerge));
    EXPECT_EQ(logged.back(), "Display: COM1, hung up, waiting for it to come back");
    ASSERT_EQ(watcher.made.size(), 1u);
    EXPECT_EQ(watcher.made[0]->name, "COM1");
    const std::string before = com1->written;
    manager.sendByteToPorts('a');
    EXPECT_EQ(com2->written.back(), 'a') << "the other line goes on";

    // A change that does not bring the device back keeps the alert and the watch.
    ASSERT_TRUE(watcher.change("COM1"));
    EXPECT_EQ(view.text, "Error: Display");
    EXPECT_TRUE(manager.isWaitingForDevice(PortIdDisplay));

    com1->present = true;
    ASSERT_TRUE(watcher.change("COM1"));
    EXPECT_TRUE(com1->open());
    EXPECT_EQ(view.text, "Reconnected: Display");
    EXPECT_EQ(logged.back(), "Display: COM1, reconnected");
    EXPECT_EQ(events.mousePackets, 2);
    EXPECT_EQ(watcher.live(), 0);
    manager.sendByteToPorts('b');
    EXPECT_EQ(com1->written, before + "b") << "nothing typed while the line was down";
    com1->arrive("z");
    EXPECT_EQ(events.displayBytes, "z") << "the reopened line is heard";
}

TEST_F(PortManagerTest, OnlyAHangUpStartsAWatchAndWhatEndsItKeepsTheLineClosed) {
    struct Case {
        const char* what;
        std::function<void(PortManagerTest&)> end;
        const char* told;
    };
    const Case cases[] = {
        {"the user switched the line off", [](PortManagerTest& t) { t.openWith(1, 0); }, "Merge: off"},
        {"shutdown", [](PortManagerTest& t) { t.manager.setCommsEnabled(false), t.manager.closePorts(); },
         "Merge: COM2, closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        openWith(1, 2);
        com2->arrive("", /*withErrors=*/true);  // a framing error is no hang-up
        EXPECT_EQ(watcher.live(), 0);
        com2->present = false;
        com2->hangUp();
        EXPECT_TRUE(manager.isWaitingForDevice(PortIdMerge));
        c.end(*this);
        EXPECT_EQ(logged.back(), c.told);
        EXPECT_EQ(watcher.live(), 0);
        com2->present = true;
        EXPECT_FALSE(watcher.change("COM2"));
        EXPECT_FALSE(com2->open());
        manager.setCommsEnabled(true);
    }
    // A line that cannot be watched stays closed with its alert.
    openWith(1, 2);
    watcher.refuse = true;
    com2->hangUp();
    EXPECT_FALSE(com2->open());
    EXPECT_FALSE(manager.isWaitingForDevice(PortIdMerge));
    EXPECT_EQ(view.text, "Error: Merge");
    EXPECT_EQ(logged.back(), "Merge: COM2, hung up");
}

}  // namespace
}  // namespace tarvik::test
