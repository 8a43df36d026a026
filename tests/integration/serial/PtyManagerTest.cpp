#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <climits>

#include "tests/support/PortRig.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using namespace comm;
using std::chrono::milliseconds;

// The real layer, with the reads counted.
class CountingComm : public ICommApi {
public:
    std::atomic<int> reads{0};

    uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device, OpenReport& report) override {
        std::unique_ptr<ICommDevice> real;
        const uint32_t result = RealCommApi().Open(name, real, report);
        if (result == 0) device = std::make_unique<Device>(std::move(real), reads);
        return result;
    }

private:
    class Device : public ICommDevice {
    public:
        Device(std::unique_ptr<ICommDevice> real, std::atomic<int>& reads) : real_(std::move(real)), reads_(reads) {}
        uint32_t SetupComm(uint32_t i, uint32_t o) override { return real_->SetupComm(i, o); }
        uint32_t ApplyDefaultConfig() override { return real_->ApplyDefaultConfig(); }
        uint32_t GetCommState(Dcb& d) override { return real_->GetCommState(d); }
        uint32_t SetCommState(const Dcb& d) override { return real_->SetCommState(d); }
        uint32_t GetCommTimeouts(CommTimeouts& t) override { return real_->GetCommTimeouts(t); }
        uint32_t SetCommTimeouts(const CommTimeouts& t) override { return real_->SetCommTimeouts(t); }
        uint32_t SetCommMask(uint32_t m) override { return real_->SetCommMask(m); }
        uint32_t EscapeCommFunction(uint32_t f) override { return real_->EscapeCommFunction(f); }
        uint32_t WaitCommEvent(uint32_t& e, uint32_t t) override { return real_->WaitCommEvent(e, t); }
        void Interrupt() override { real_->Interrupt(); }
        uint32_t ClearCommError(uint32_t& e) override { return real_->ClearCommError(e); }
        uint32_t Read(uint8_t* b, size_t s, size_t& c, uint32_t t) override {
            return ++reads_, real_->Read(b, s, c, t);
        }
        uint32_t Write(const uint8_t* b, size_t l, size_t& c, uint32_t t) override { return real_->Write(b, l, c, t); }

    private:
        std::unique_ptr<ICommDevice> real_;
        std::atomic<int>& reads_;
    };
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
    PortRig<CountingComm> rig;
    CPortManager& manager = rig.manager;
};

TEST_F(PtyManagerTest, EachLineNotifiesWithItsIdentifierAndEveryByteIsParsed) {
    ASSERT_TRUE(pty1.Ok() && pty2.Ok());
    rig.OpenWith(1, 2);
    ASSERT_TRUE(manager.m_displayPort.IsOpen() && manager.m_mergePort.IsOpen());
    ASSERT_TRUE(pty2.Send("k"));
    PostedMessage posted{};
    ASSERT_TRUE(Pump(posted));
    EXPECT_EQ(posted.wParam, 0x0001u);
    EXPECT_EQ(posted.lParam, PortIdMerge);
    EXPECT_EQ(rig.events.mergeInput, "k");

    // Exactly 128 bytes waiting take a second read to find the line empty. Control and high
    // bytes among them arrive as they are: the line is raw.
    std::string bytes(128, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i < 64 ? i : 128 + i);
    ASSERT_TRUE(pty1.Send(bytes));
    ASSERT_TRUE(pty1.WaitForPending(128));
    const int before = rig.comm.reads;
    ASSERT_TRUE(Pump(posted));
    EXPECT_EQ(posted.lParam, PortIdDisplay);
    EXPECT_EQ(rig.comm.reads - before, 2);
    EXPECT_EQ(rig.events.displayInput, bytes);
}

TEST_F(PtyManagerTest, BadEntriesAndNumbersGiveCommsErrorAndTheMergePortStillGetsTheByte) {
    ASSERT_TRUE(pty2.Ok());
    const std::string file = sandbox.Dir().string() + "/plain";
    {
        FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
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
