#include <gtest/gtest.h>

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Win32Codes.h"
#include "serial/SerialPort.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PtyLine.h"
#include "tests/support/Recorders.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using namespace comm;

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); }
    termios LineSettings() {
        termios t{};
        EXPECT_EQ(::tcgetattr(pty.Spare(), &t), 0);
        return t;
    }

    TestSandbox sandbox;
    PtyLine pty{sandbox, 1};
    CSerialPort port;
};

TEST_F(PtyPortTest, OpensRawAndExclusiveAgainstThisAndOtherProcesses) {
    ASSERT_EQ(port.Open("COM1"), 0u);
    EXPECT_EQ(port.Open("COM1"), ERROR_ALREADY_INITIALIZED);
    EXPECT_TRUE(port.IsOpen());

    const termios t = LineSettings();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));

    CSerialPort second;
    EXPECT_EQ(second.Open("COM1"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastOpenReport().reason, "Device or resource busy");
    EXPECT_EQ(second.LastOpenReport().target, pty.SlavePath());

    // Another process is refused too, root included (flock, not only TIOCEXCL).
    EXPECT_EQ(InChild([] { return static_cast<int>(CSerialPort().Open("COM1") & 0x7F); }),
              static_cast<int>(ERROR_ACCESS_DENIED));

    port.Close();
    EXPECT_EQ(second.Open("COM1"), 0u) << "released on close";
}

TEST_F(PtyPortTest, AFailedOpenTellsWhereTheNameLedAndTheSystemsReason) {
    const std::string ports = sandbox.PortsDir();
    std::filesystem::create_symlink("/nonexistent/ttyUSB9", ports + "/COM2");
    { std::ofstream(ports + "/plain") << "x"; }
    std::filesystem::create_symlink(ports + "/plain", ports + "/COM3");
    std::filesystem::create_symlink("/dev/null", ports + "/COM4");
    std::filesystem::create_directory(ports + "/COM5");
    const struct {
        const char* name;
        std::string target;
        const char* reason;
    } cases[] = {
        {"COM2", "/nonexistent/ttyUSB9", "No such file or directory"},
        {"COM3", ports + "/plain", kNotATerminal},
        {"COM4", "/dev/null", kNotATerminal},
        {"COM5", ports + "/COM5", "Is a directory"},
        {"COM6", ports + "/COM6", "No such file or directory"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(port.Open(c.name), 0u) << c.name;
        EXPECT_EQ(port.LastOpenReport().target, c.target) << c.name;
        EXPECT_EQ(port.LastOpenReport().reason, c.reason) << c.name;
    }
    ASSERT_EQ(port.Open("COM1"), 0u);
    EXPECT_EQ(port.LastOpenReport().reason, "");
}

TEST_F(PtyPortTest, SettingsReachTheLineAndReadBack) {
    ASSERT_EQ(port.Open("COM1"), 0u);
    ASSERT_EQ(port.Configure(19200, 7, ODDPARITY, TWOSTOPBITS), 0u);
    ASSERT_EQ(port.SetHandshake(CSerialPort::FlowXonXoff), 0u);
    const termios t = LineSettings();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), static_cast<tcflag_t>(IXON | IXOFF | INPCK));
    // A pty forces 8 bits without parity; the settings still read back as they were set.
    EXPECT_EQ((std::vector<int>{port.GetBaudRate(), port.GetDataBits(), port.GetParity(), port.GetStopBits(),
                                port.GetHandshake()}),
              (std::vector<int>{19200, 7, ODDPARITY, TWOSTOPBITS, CSerialPort::FlowXonXoff}));
    EXPECT_EQ(port.Configure(12345, 8, NOPARITY, ONESTOPBIT), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(port.GetBaudRate(), 19200) << "a refused setting changes nothing";
}

TEST_F(PtyPortTest, ReadsImmediatelyAndWaitsForAllWhenAskedKeepingWhatCame) {
    ASSERT_EQ(port.Open("COM1"), 0u);
    char buffer[8];
    size_t count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count), 0u);
    EXPECT_EQ(count, 0u) << "nothing buffered, no waiting";

    ASSERT_EQ(port.SetReadMode(CSerialPort::ReadWaitForAll), 0u);
    ASSERT_TRUE(pty.Send("abc"));
    ASSERT_TRUE(pty.WaitForPending(3));
    EXPECT_EQ(port.Read(buffer, 4, &count, 100), ERROR_TIMEOUT);
    EXPECT_EQ(std::string(buffer, count), "abc");
    ASSERT_TRUE(pty.Send("wxyz"));
    EXPECT_EQ(port.Read(buffer, 4, &count, 5000), 0u);
    EXPECT_EQ(std::string(buffer, count), "wxyz");
}

// Packet n of a numbered stream: six bytes, as a mouse packet is, that tell their place.
std::string Packet(uint32_t n) {
    return {'\x80',
            static_cast<char>(n & 0x7F),
            static_cast<char>((n >> 7) & 0x7F),
            static_cast<char>((n >> 14) & 0x7F),
            '\x01',
            '\x02'};
}

TEST_F(PtyPortTest, AWriteThatRunsOutOfTimeKeepsWhatItReportedAndCutsNoPacket) {
    ASSERT_EQ(port.Open("COM1"), 0u);
    // The far end reads nothing, so the line stops taking bytes, in the middle of a packet here.
    std::string taken;
    std::string whole;
    uint32_t result = 0;
    uint32_t n = 0;
    for (; n < 100000 && result == 0; ++n) {
        size_t count = 0;
        result = port.Write(Packet(n).data(), 6, &count, 20);
        taken += Packet(n).substr(0, count);
        if (count > 0) whole += Packet(n);
    }
    ASSERT_EQ(result, ERROR_TIMEOUT);
    const std::string arrived = pty.Receive(taken.size());
    ASSERT_EQ(arrived.size(), taken.size()) << "what the port took was reported sent and must arrive";
    EXPECT_TRUE(arrived == taken);
    // Once the far end reads again, the cut packet is finished before the next one starts.
    size_t count = 0;
    ASSERT_EQ(port.Write(Packet(n).data(), 6, &count, 1000), 0u);
    EXPECT_EQ(count, 6u);
    const std::string rest = whole.substr(taken.size()) + Packet(n);
    EXPECT_EQ(pty.Receive(rest.size()), rest);
}

TEST_F(PtyPortTest, NotifiesOncePerArrival) {
    RecordingPoster window;
    CSerialWindowPort listening;
    ASSERT_EQ(listening.Open("COM1", &window, PortNotifyMessage, PortIdDisplay), 0u);
    ASSERT_TRUE(pty.Send("x"));
    PostedMessage posted{};
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.wParam, EV_RXCHAR);
    EXPECT_EQ(posted.lParam, PortIdDisplay);
    // Unread data is not news again until the owner reads.
    EXPECT_FALSE(window.Take(posted, std::chrono::milliseconds(300)));
    char buffer[8];
    size_t count = 0;
    ASSERT_EQ(listening.Read(buffer, sizeof buffer, &count), 0u);
    EXPECT_EQ(count, 1u);
    ASSERT_TRUE(pty.Send("y"));
    ASSERT_TRUE(window.Take(posted));
    EXPECT_EQ(posted.wParam, EV_RXCHAR);
}

}  // namespace
}  // namespace tarvik::test
