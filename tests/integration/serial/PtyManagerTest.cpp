#include <gtest/gtest.h>

#include <chrono>

#include "lines/SerialLine.h"
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

TEST_F(PtyManagerTest, ALineThatTakesNothingHoldsNobodyUpAndTheOtherIsStillWritten) {
    rig.openWith(1, 2);
    // Fill the display line's path to its far end, which nobody reads.
    pty1.FillTowardsMaster();
    const auto start = std::chrono::steady_clock::now();
    manager.sendByteToPorts('Z');
    EXPECT_LT(std::chrono::steady_clock::now() - start, comm::writeTimeout(1) + milliseconds(3000));
    EXPECT_EQ(pty2.Receive(1), "Z");
    // The line recovers once its far end reads again.
    pty1.Receive(SIZE_MAX, milliseconds(200));
    manager.sendByteToPorts('Y');
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
    EXPECT_EQ(rig.logged.back(), "Display: COM1 \u2192 " + pty1.slavePath() + ", closed");
}

}  // namespace
}  // namespace tarvik::test
