#include <gtest/gtest.h>

#include "platform/comm/TermiosDevice.h"
#include "serial/SerialPort.h"
#include "tests/support/FakeComm.h"
#include "tests/support/Recorders.h"

namespace tarvik::test {
namespace {

using namespace comm;

class SerialPortTest : public ::testing::Test {
protected:
    FakeComm comm;
    std::shared_ptr<FakeLine> line = comm.Line("COM1");
    RecordingPoster window;
};

TEST_F(SerialPortTest, OnlyAFailingSetupCommClosesTheLineItOpened) {
    struct Case {
        uint32_t FakeLine::*failure;
        uint32_t code;
        bool staysOpen;
    };
    for (const Case& c : {Case{&FakeLine::setupResult, 87, false}, Case{&FakeLine::maskResult, 31, true},
                          Case{&FakeLine::timeoutsResult, 1, true}}) {
        SCOPED_TRACE(c.code);
        (*line).*c.failure = c.code;
        CSerialPort port(comm);
        EXPECT_EQ(port.Open("COM1", 4096, 0), c.code) << "the failure is reported";
        EXPECT_EQ(port.IsOpen(), c.staysOpen);
        EXPECT_EQ(line->open, c.staysOpen);
        port.Close();
        (*line).*c.failure = 0;
    }
    // A listening port cannot work without its mask: that one closes too.
    line->maskResult = 31;
    CSerialWindowPort listening(comm);
    EXPECT_EQ(listening.Open("COM1", &window, PortNotifyMessage, PortIdDisplay), 31u);
    EXPECT_FALSE(listening.IsOpen() || listening.IsListening() || line->open);
}

TEST_F(SerialPortTest, ClosedPortFailsEveryOperationWithInvalidHandle) {
    CSerialPort port(comm);
    EXPECT_EQ(port.Close(), 0u);
    char buffer[4];
    size_t count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    for (uint32_t result :
         {port.Write("x", 1), port.Configure(9600, 8, NOPARITY, ONESTOPBIT), port.SetEventMask(EV_RXCHAR),
          port.WaitForEvent(0), port.SetHandshake(CSerialPort::FlowNone), port.EscapeCommFunction(SETDTR)}) {
        EXPECT_EQ(result, ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ((std::vector<int>{port.GetBaudRate(), port.GetDataBits(), port.GetParity(), port.GetStopBits(),
                                port.GetHandshake()}),
              std::vector<int>(5, -1));
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.GetEventCharacter(), '\0');
    EXPECT_EQ(port.LastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SerialPortTest, SettingsReachTheLineAndModesOutsideTheirRangeChangeNothing) {
    CSerialPort port(comm);
    ASSERT_EQ(port.Open("COM1"), 0u);
    EXPECT_EQ(line->setupCalls, 0) << "no queue sizes, no SetupComm";
    ASSERT_EQ(port.Configure(9600, 8, EVENPARITY, ONESTOPBIT), 0u);
    EXPECT_TRUE(line->dcb.fParity);
    ASSERT_EQ(port.Configure(9600, 8, NOPARITY, ONESTOPBIT), 0u);
    EXPECT_FALSE(line->dcb.fParity);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowHardware), 0u);
    EXPECT_TRUE(line->dcb.fOutxCtsFlow && line->dcb.fOutxDsrFlow);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowNone), 0u);
    EXPECT_EQ(line->dcb.fDtrControl, DTR_CONTROL_DISABLE);

    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowXonXoff), 0u);
    EXPECT_EQ(port.SetHandshake(3), E_INVALIDARG);
    EXPECT_EQ(port.GetHandshake(), CSerialPort::FlowXonXoff);
    EXPECT_EQ(port.SetReadMode(2), E_INVALIDARG);
    EXPECT_EQ(port.LastError(), E_INVALIDARG);
    EXPECT_EQ(line->timeouts.ReadIntervalTimeout, MAXDWORD);
}

TEST_F(SerialPortTest, NotificationCarriesEventsLowAndLineErrorsHigh) {
    CSerialWindowPort port(comm);
    ASSERT_EQ(port.Open("COM1", &window, PortNotifyMessage, PortIdMerge), 0u);
    // The word 0 that a mask change produces is no notification. Data with a line error, as the
    // termios layer reports it from the driver's counters, is one: the error rides on EV_RXCHAR.
    line->PushEvent(0);
    struct Case {
        int serial_icounter_struct::*counter;
        uint64_t wParam;
    };
    PostedMessage posted{};
    for (const Case& c : {Case{&serial_icounter_struct::frame, 0x00080001},
                          {&serial_icounter_struct::overrun, 0x00020001},
                          {&serial_icounter_struct::parity, 0x00040001},
                          {&serial_icounter_struct::buf_overrun, 0x00010001},
                          {&serial_icounter_struct::brk, 0x00100041},
                          {nullptr, 0x00000001}}) {
        serial_icounter_struct before{}, after{};
        if (c.counter) after.*c.counter = 1;
        const Arrival arrival = ArrivalFromCounters(before, after);
        line->PushEvent(arrival.events, arrival.errors);
        ASSERT_TRUE(window.Take(posted));
        EXPECT_EQ(posted.message, PortNotifyMessage);
        EXPECT_EQ(posted.wParam, c.wParam);
        EXPECT_EQ(posted.lParam, PortIdMerge);
    }
    // Events outside the mask are dropped before posting.
    line->PushEvent(EV_CTS | EV_BREAK);
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.wParam, EV_BREAK);
    port.Close();
    EXPECT_EQ(window.Total(), 7);

    // Message 0 asks for the registered default message.
    ASSERT_EQ(port.Open("COM1", &window, 0, 7), 0u);
    line->PushEvent(EV_RXCHAR);
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.message, g_nDefaultComMsg);
    EXPECT_GE(g_nDefaultComMsg, 0xC000u);
    EXPECT_EQ(posted.lParam, 7);
}

TEST_F(SerialPortTest, StopListeningThatTimesOutStillReturnsZeroAndTheThreadIsJoinedLater) {
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
