#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <climits>
#include <fstream>

#include "tests/support/PortRig.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using namespace comm;
using std::chrono::milliseconds;

// The real layer, as the program uses it.
struct RealComm : ICommApi {
    uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device, OpenReport& report) override {
        return RealCommApi().Open(name, device, report);
    }
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PtyManagerTest : public ::testing::Test {
protected:
    // Handles the next notification as the window would; false when none came in time.
    bool Pump(PostedMessage& posted, milliseconds limit = std::chrono::seconds(5)) {
        if (!rig.window.Take(posted, limit)) return false;
        EXPECT_EQ(posted.message, PortNotifyMessage);
        rig.manager.OnPortNotification(posted.wParam, posted.lParam);
        return true;
    }

    TestSandbox sandbox;
    PtyLine pty1{sandbox, 1};
    PtyLine pty2{sandbox, 2};
    PortRig<RealComm> rig;
    CPortManager& manager = rig.manager;
};

TEST_F(PtyManagerTest, BadEntriesAndNumbersGiveCommsErrorAndTheMergePortStillGetsTheByte) {
    ASSERT_TRUE(pty2.Ok());
    const std::string file = sandbox.Dir().string() + "/plain";
    std::ofstream{file};
    std::filesystem::create_symlink(file, sandbox.PortsDir() + "/COM3");
    std::filesystem::create_directory(sandbox.PortsDir() + "/COM4");
    std::filesystem::create_symlink("/nonexistent/ttyUSB9", sandbox.PortsDir() + "/COM5");
    std::filesystem::create_symlink("/dev/null", sandbox.PortsDir() + "/COM6");
    for (int32_t number : {3, 4, 5, 6, 8, INT_MAX}) {
        rig.OpenWith(number, 2);
        EXPECT_EQ(rig.view.text, "Comms Error: Port " + std::to_string(number));
        EXPECT_FALSE(manager.m_displayPort.IsOpen());
    }
    const int restores = rig.view.restores;
    for (int32_t off : {0, -1, INT_MIN}) EXPECT_FALSE(manager.OpenDisplayPort(off));
    EXPECT_EQ(rig.view.restores, restores) << "off is no error";

    manager.SendByteToPorts('A');
    EXPECT_EQ(pty2.Receive(1), "A");
    EXPECT_EQ(manager.m_displayPort.LastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(PtyManagerTest, ALineThatTakesNothingTimesOutAndTheOtherIsStillWritten) {
    ASSERT_TRUE(pty1.Ok() && pty2.Ok());
    rig.OpenWith(1, 2);
    // Fill the display line's path to its far end, which nobody reads.
    pty1.FillTowardsMaster();
    const auto start = std::chrono::steady_clock::now();
    manager.SendByteToPorts('Z');
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(manager.m_displayPort.LastError(), ERROR_TIMEOUT);
    EXPECT_LT(took, milliseconds(WriteTimeoutMs(1) + 3000));
    EXPECT_EQ(pty2.Receive(1), "Z");
    // The line recovers once its far end reads again.
    pty1.Receive(SIZE_MAX, milliseconds(200));
    manager.SendByteToPorts('Y');
    EXPECT_EQ(manager.m_displayPort.LastError(), 0u);
    const std::string got = pty1.Receive(1);
    EXPECT_EQ(got.empty() ? '\0' : got.back(), 'Y');
}

TEST_F(PtyManagerTest, HangUpAlertsOnceAndDoesNotSpin) {
    ASSERT_TRUE(pty1.Ok());
    rig.OpenWith(1, 0);
    pty1.CloseMaster();
    PostedMessage posted{};
    ASSERT_TRUE(Pump(posted));
    EXPECT_EQ(posted.wParam, (static_cast<uint64_t>(CE_IOE) << 16) | EV_ERR);
    EXPECT_EQ(rig.view.text, "Error: Display");
    EXPECT_GE(rig.view.restores, 1);
    const double cpuBefore = CpuSeconds();
    EXPECT_FALSE(rig.window.Take(posted, std::chrono::seconds(1))) << "one notification only";
    const double cpu = CpuSeconds() - cpuBefore;
    RecordProperty("cpu_us_over_one_second", static_cast<int>(cpu * 1e6));
    EXPECT_LT(cpu, 0.3);
    manager.ClosePorts();
    EXPECT_FALSE(manager.m_displayPort.IsListening());
}

}  // namespace
}  // namespace tarvik::test
