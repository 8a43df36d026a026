#include <gtest/gtest.h>

#include "FakeComm.h"
#include "Recorders.h"
#include "SerialPort.h"

namespace tarvik::test {
namespace {

using namespace comm;

class SerialPortTest : public ::testing::Test {
protected:
    FakeComm comm;
    std::shared_ptr<FakeLine> line = comm.Line("COM1");
};

TEST_F(SerialPortTest, SecondOpenFailsAndLeavesThePortAsItWas) {
    CSerialPort port(comm);
    ASSERT_EQ(port.Open("COM1"), 0u);
    EXPECT_EQ(line->setupCalls, 0) << "no queue sizes, no SetupComm";
    EXPECT_EQ(port.Open("COM1", 100, 100), ERROR_ALREADY_INITIALIZED);
    EXPECT_EQ(port.LastError(), ERROR_ALREADY_INITIALIZED);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR);
    EXPECT_EQ(line->timeouts.ReadIntervalTimeout, MAXDWORD);
}

TEST_F(SerialPortTest, FailingSetupCommClosesThePort) {
    line->setupResult = 87;
    CSerialPort port(comm);
    EXPECT_EQ(port.Open("COM1", 4096, 0), 87u);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(line->open);
    EXPECT_EQ(line->setupCalls, 1);
}

TEST_F(SerialPortTest, FailingMaskOrReadModeIsReportedButLeavesThePortOpen) {
    line->maskResult = 31;
    CSerialPort maskPort(comm);
    EXPECT_EQ(maskPort.Open("COM1"), 31u);
    EXPECT_TRUE(maskPort.IsOpen());
    maskPort.Close();

    line->maskResult = 0;
    line->timeoutsResult = 1;
    CSerialPort modePort(comm);
    EXPECT_EQ(modePort.Open("COM1"), 1u);
    EXPECT_TRUE(modePort.IsOpen());
}

TEST_F(SerialPortTest, ClosedPortFailsEveryDeviceOperationWithInvalidHandle) {
    CSerialPort port(comm);
    EXPECT_EQ(port.Close(), 0u);
    char buffer[4];
    size_t count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.Write("x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.Configure(9600, 8, NOPARITY, ONESTOPBIT), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetEventMask(EV_RXCHAR), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.WaitForEvent(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.SetHandshake(CSerialPort::FlowNone), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.EscapeCommFunction(SETDTR), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetHandshake(), -1);
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.LastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(port.GetEventCharacter(), '\0');
    EXPECT_EQ(port.LastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SerialPortTest, ModesOutsideTheirRangeChangeNothing) {
    CSerialPort port(comm);
    ASSERT_EQ(port.Open("COM1"), 0u);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowXonXoff), 0u);
    EXPECT_EQ(port.SetHandshake(3), E_INVALIDARG);
    EXPECT_EQ(port.GetHandshake(), CSerialPort::FlowXonXoff);
    EXPECT_EQ(port.SetReadMode(2), E_INVALIDARG);
    EXPECT_EQ(port.LastError(), E_INVALIDARG);
    EXPECT_EQ(line->timeouts.ReadIntervalTimeout, MAXDWORD);
}

TEST_F(SerialPortTest, ParityFlagAndHandshakeFollowTheSettings) {
    CSerialPort port(comm);
    ASSERT_EQ(port.Open("COM1"), 0u);
    ASSERT_EQ(port.Configure(9600, 8, EVENPARITY, ONESTOPBIT), 0u);
    EXPECT_TRUE(line->dcb.fParity);
    ASSERT_EQ(port.Configure(9600, 8, NOPARITY, ONESTOPBIT), 0u);
    EXPECT_FALSE(line->dcb.fParity);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowHardware), 0u);
    EXPECT_EQ(port.GetHandshake(), CSerialPort::FlowHardware);
    EXPECT_TRUE(line->dcb.fOutxCtsFlow && line->dcb.fOutxDsrFlow);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowNone), 0u);
    EXPECT_EQ(port.GetHandshake(), CSerialPort::FlowNone);
    EXPECT_EQ(line->dcb.fDtrControl, DTR_CONTROL_DISABLE);
}

TEST_F(SerialPortTest, NotificationCarriesEventsLowAndLineErrorsHigh) {
    RecordingPoster window;
    CSerialWindowPort port(comm);
    ASSERT_EQ(port.Open("COM1", &window, PortNotifyMessage, PortIdMerge), 0u);
    // The word 0 that a mask change produces is no notification; the framing error is.
    line->PushEvent(0);
    line->PushEvent(EV_RXCHAR, CE_FRAME);
    PostedMessage posted{};
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.message, PortNotifyMessage);
    EXPECT_EQ(posted.wParam, 0x00080001u);
    EXPECT_EQ(posted.lParam, PortIdMerge);
    // Events outside the mask are dropped before posting.
    line->PushEvent(EV_CTS | EV_BREAK);
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.wParam, EV_BREAK);
    port.Close();
    EXPECT_EQ(window.Total(), 2);
}

TEST_F(SerialPortTest, MessageZeroPostsTheRegisteredDefaultMessage) {
    EXPECT_GE(g_nDefaultComMsg, 0xC000u);
    EXPECT_LE(g_nDefaultComMsg, 0xFFFFu);
    RecordingPoster window;
    CSerialWindowPort port(comm);
    ASSERT_EQ(port.Open("COM1", &window, 0, 7), 0u);
    line->PushEvent(EV_RXCHAR);
    PostedMessage posted{};
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.message, g_nDefaultComMsg);
    EXPECT_EQ(posted.lParam, 7);
}

TEST_F(SerialPortTest, ListeningOpenThatCannotSetItsMaskLeavesThePortClosed) {
    line->maskResult = 31;
    RecordingPoster window;
    CSerialWindowPort port(comm);
    EXPECT_EQ(port.Open("COM1", &window, PortNotifyMessage, PortIdDisplay), 31u);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.IsListening());
    EXPECT_FALSE(line->open);
}

TEST_F(SerialPortTest, StopListeningThatTimesOutStillReturnsZeroAndTheThreadIsJoinedLater) {
    RecordingPoster window;
    {
        CSerialWindowPort port(comm);
        ASSERT_EQ(port.Open("COM1", &window, PortNotifyMessage, PortIdDisplay), 0u);
        line->SetIgnoreInterrupt(true);
        ASSERT_TRUE(line->WaitUntilWaiting());
        EXPECT_EQ(port.StopListening(20), 0u);
        EXPECT_FALSE(port.IsListening());
        EXPECT_TRUE(port.IsOpen());
        // The listener is unstuck; destroying the open port must wait for it before the object goes.
        line->SetIgnoreInterrupt(false);
    }
    EXPECT_FALSE(line->open);
}

}  // namespace
}  // namespace tarvik::test
