#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <fstream>

#include "platform/comm/SerialLine.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PortRig.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using std::chrono::milliseconds;

class PtyManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        ASSERT_TRUE(pty1.Ok() && pty2.Ok());
    }

    TestSandbox sandbox;
    PtyLine pty1{sandbox, 1};
    PtyLine pty2{sandbox, 2};
    PortRig<comm::SerialLineOpener> rig;
    PortManager& manager = rig.manager;
};

TEST_F(PtyManagerTest, BadEntriesAndNumbersGiveCommsErrorAndTheMergePortStillGetsTheByte) {
    const std::string file = sandbox.Dir().string() + "/plain";
    std::ofstream{file};
    std::filesystem::create_symlink(file, sandbox.PortsDir() + "/COM3");
    std::filesystem::create_directory(sandbox.PortsDir() + "/COM4");
    std::filesystem::create_symlink("/nonexistent/ttyUSB9", sandbox.PortsDir() + "/COM5");
    std::filesystem::create_symlink("/dev/null", sandbox.PortsDir() + "/COM6");
    for (int32_t number : {3, 4, 5, 6, 8, INT_MAX}) {
        rig.openWith(number, 2);
        EXPECT_EQ(rig.view.text, "Comms Error: Port " + std::to_string(number));
        EXPECT_FALSE(manager.isOpen(PortIdDisplay));
    }
    const int restores = rig.view.restores;
    for (int32_t off : {0, -1, INT_MIN}) EXPECT_FALSE(manager.openDisplayPort(off));
    EXPECT_EQ(rig.view.restores, restores) << "off is no error";

    manager.SendByteToPorts('A');
    EXPECT_EQ(pty2.Receive(1), "A");
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(PtyManagerTest, WhatArrivesIsAnsweredOnBothLinesAndALineThatTakesNothingHoldsNobodyUp) {
    rig.openWith(1, 2);
    rig.events.whileHandling = [this] { manager.SendTextToPorts(rig.events.mergeBytes); };
    ASSERT_TRUE(pty2.Send("ab"));
    ASSERT_TRUE(RunUntil([this] { return rig.events.mergeBytes == "ab"; }));
    EXPECT_EQ(pty1.Receive(2), "ab");
    EXPECT_EQ(pty2.Receive(2), "ab");
    rig.events.whileHandling = nullptr;

    // Fill the display line's path to its far end, which nobody reads.
    pty1.FillTowardsMaster();
    const auto start = std::chrono::steady_clock::now();
    manager.SendByteToPorts('Z');
    EXPECT_LT(std::chrono::steady_clock::now() - start, comm::writeTimeout(1) + milliseconds(3000));
    EXPECT_EQ(pty2.Receive(1), "Z");
    // The line recovers once its far end reads again.
    pty1.Receive(SIZE_MAX, milliseconds(200));
    manager.SendByteToPorts('Y');
    const std::string got = pty1.Receive(1);
    EXPECT_EQ(got.empty() ? '\0' : got.back(), 'Y');
}

TEST_F(PtyManagerTest, AHangUpAlertsOnceAndTheLineIsWatchedFor) {
    rig.openWith(1, 0);
    pty1.CloseMaster();
    ASSERT_TRUE(RunUntil([this] { return manager.isWaitingForDevice(PortIdDisplay); }));
    EXPECT_EQ(rig.view.text, "Error: Display");
    EXPECT_FALSE(manager.isOpen(PortIdDisplay));
    const int sets = rig.view.sets;
    RunFor(milliseconds(300));
    EXPECT_EQ(rig.view.sets, sets) << "told once";
    manager.closePorts();
    EXPECT_EQ(rig.logged.back(), "Display: COM1 \u2192 " + pty1.SlavePath() + ", closed");
}

}  // namespace
}  // namespace tarvik::test
