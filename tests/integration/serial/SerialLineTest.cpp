#include "lines/SerialLine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Win32Codes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using comm::Line;
using comm::OpenReport;
using namespace std::chrono_literals;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        ASSERT_TRUE(pty.Ok());
    }
    std::unique_ptr<Line> open(const std::string& name = "COM1") { return comm::serialLines().open(name, report); }

    TestSandbox sandbox;
    PtyLine pty{sandbox, 1};
    OpenReport report;
};

TEST_F(SerialLineTest, OpensRawAt9600AndExclusivelyAgainstThisAndOtherProcesses) {
    auto line = open();
    ASSERT_TRUE(line && line->isOpen());
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Spare(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));

    EXPECT_FALSE(open());
    EXPECT_EQ(report.error.code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(report.error.reason, "Device or resource busy");
    EXPECT_EQ(report.target, pty.slavePath());
    // Another process is refused too, root included (flock, not only TIOCEXCL).
    EXPECT_EQ(InChild([] {
                  OpenReport childReport;
                  return comm::serialLines().open("COM1", childReport) ? 0 : static_cast<int>(childReport.error.code);
              }),
              static_cast<int>(ERROR_ACCESS_DENIED));
    line->close();
    EXPECT_TRUE(open()) << "released on close";
}

TEST_F(SerialLineTest, AFailedOpenTellsWhereTheNameLedAndTheSystemsReason) {
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
        {"COM3", ports + "/plain", comm::NotATerminal},
        {"COM4", "/dev/null", comm::NotATerminal},
        {"COM5", ports + "/COM5", "Is a directory"},
        {"COM6", ports + "/COM6", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(open(c.name));
        EXPECT_NE(report.error.code, 0u);
        EXPECT_EQ(report.target, c.target);
        EXPECT_EQ(report.error.reason, c.reason);
    }
    EXPECT_TRUE(open("COM1"));
    EXPECT_EQ(report.error.reason, "");
}

TEST_F(SerialLineTest, DataIsReportedUntilReadAndAHangUpOnceWithoutSpinning) {
    auto line = open();
    ASSERT_TRUE(line);
    int ready = 0, lost = 0, errors = 0;
    QObject::connect(line.get(), &Line::readyRead, [&] { ++ready; });
    QObject::connect(line.get(), &Line::lost, [&] { ++lost; });
    QObject::connect(line.get(), &Line::lineError, [&] { ++errors; });
    ASSERT_TRUE(pty.send("x"));
    ASSERT_TRUE(RunUntil([&] { return ready == 1; }));
    // Unread data is not news again until the owner reads.
    RunFor(300ms);
    EXPECT_EQ(ready, 1);
    uint8_t buffer[8];
    size_t count = 0;
    ASSERT_EQ(line->read(buffer, sizeof buffer, count), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "x");
    ASSERT_TRUE(pty.send("y"));
    ASSERT_TRUE(RunUntil([&] { return ready == 2; }));
    ASSERT_EQ(line->read(buffer, sizeof buffer, count), 0u);

    pty.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return lost == 1; }));
    const double cpuBefore = CpuSeconds();
    RunFor(1s);
    const double cpu = CpuSeconds() - cpuBefore;
    RecordProperty("cpu_us_over_one_second", static_cast<int>(cpu * 1e6));
    EXPECT_LT(cpu, 0.3) << "a hung-up line must not wake the loop";
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(ready, 2);
    EXPECT_EQ(errors, 0) << "ptys count no line errors";
}

TEST(LineErrorCounterTest, OnlyErrorCountersAndBreaksAreLineErrors) {
    for (int serial_icounter_struct::*counter :
         {&serial_icounter_struct::frame, &serial_icounter_struct::overrun, &serial_icounter_struct::parity,
          &serial_icounter_struct::buf_overrun, &serial_icounter_struct::brk}) {
        serial_icounter_struct before{}, after{};
        after.*counter = 1;
        EXPECT_TRUE(comm::countersShowErrors(before, after));
    }
    serial_icounter_struct before{}, after{};
    after.rx = after.tx = after.cts = 5;
    EXPECT_FALSE(comm::countersShowErrors(before, after));
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

TEST_F(SerialLineTest, AWriteThatRunsOutOfTimeKeepsWhatItReportedAndCutsNoPacket) {
    auto line = open();
    ASSERT_TRUE(line);
    // The far end reads nothing, so the line stops taking bytes, in the middle of a packet here.
    std::string taken, whole;
    uint32_t result = 0;
    uint32_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (; n < 100000 && result == 0; ++n) {
        size_t count = 0;
        const std::string packet = Packet(n);
        result = line->write(reinterpret_cast<const uint8_t*>(packet.data()), 6, count);
        taken += packet.substr(0, count);
        if (count > 0) whole += packet;
    }
    ASSERT_EQ(result, ERROR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, comm::writeTimeout(6) + 10s) << "bounded";
    const std::string arrived = pty.Receive(taken.size());
    ASSERT_EQ(arrived.size(), taken.size()) << "what the line took was reported sent and must arrive";
    EXPECT_TRUE(arrived == taken);
    // Once the far end reads again, the cut packet is finished before the next one starts.
    size_t count = 0;
    const std::string next = Packet(n);
    ASSERT_EQ(line->write(reinterpret_cast<const uint8_t*>(next.data()), 6, count), 0u);
    EXPECT_EQ(count, 6u);
    const std::string rest = whole.substr(taken.size()) + next;
    EXPECT_EQ(pty.Receive(rest.size()), rest);
}

}  // namespace
}  // namespace tarvik::test
