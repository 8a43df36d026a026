// Network lines against ser2net on loopback, in front of a pseudo-terminal the test holds.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "common/Win32Codes.h"
#include "lines/NetErrors.h"
#include "lines/QtGensio.h"
#include "lines/Reconnector.h"
#include "tests/integration/net/NetHarness.h"

namespace tarvik::test {
namespace {

using namespace std::chrono_literals;

class Ser2netLine : public testing::Test {
protected:
    void SetUp() override {
        EnsureCoreApplication();
        ASSERT_FALSE(m_pty.Slave().empty());
        m_dir = TempDir();
        m_port = FreePort();
    }

    void StartServer(const std::string& accepter) {
        m_server = std::make_unique<Ser2net>(m_dir, Ser2netConnection("line", accepter, m_pty.Slave()));
        ASSERT_TRUE(m_server->start({m_port})) << m_server->Log();
    }

    std::string Url(const std::string& scheme) const { return scheme + "://127.0.0.1:" + std::to_string(m_port); }

    Pty m_pty;
    std::string m_dir;
    uint16_t m_port = 0;
    std::unique_ptr<Ser2net> m_server;
};

TEST_F(Ser2netLine, Rfc2217SetsTheFarLineAndCarriesEveryByteBothWays) {
    StartServer("telnet(rfc2217),tcp,127.0.0.1," + std::to_string(m_port));
    net::NetworkLine line(Address(Url("rfc2217")));
    Probe probe(line);
    line.open();
    EXPECT_FALSE(line.isOpen()) << "opening never completes inside open()";
    ASSERT_TRUE(RunUntil([&] { return probe.opened == 1 || !probe.failures.empty(); })) << m_server->Log();
    ASSERT_EQ(probe.opened, 1) << probe.failures[0].reason;

    // 0xFF is telnet's escape: it must reach the instrument as one byte, and come back as one.
    const std::string keys("K\xff\x00z", 4);
    ASSERT_EQ(write(line, keys), ERROR_SUCCESS);
    ASSERT_TRUE(RunUntil([&] { return m_pty.Received().size() >= keys.size(); })) << m_server->Log();
    EXPECT_EQ(m_pty.Received(), keys);
    // A pseudo-terminal keeps CS8 and no parity whatever it is told; speed and stop bits show
    // the negotiation (the server started at 115200 with 2 stop bits). The Python server's test
    // sees data bits and parity as the server received them.
    const termios far = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&far), B9600);
    EXPECT_EQ(far.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(far.c_cflag & PARENB, 0u);
    EXPECT_EQ(far.c_cflag & CSTOPB, 0u);

    const std::string name("\x0cGrand \xff\xfa Piano ", 16);
    ASSERT_TRUE(m_pty.send(name));
    ASSERT_TRUE(RunUntil([&] { return probe.data.size() >= name.size(); }));
    EXPECT_EQ(probe.data, name);

    // Connected and idle, once the server has answered the settings (or gensio has given up on
    // those a pseudo-terminal cannot answer): gensio wakes the process for nothing.
    ASSERT_TRUE(RunUntil([&] { return !line.awaitingServer(); }));
    const net::GensioActivity before = net::qtGensioActivity();
    RunFor(1500ms);
    EXPECT_EQ(net::qtGensioActivity().total(), before.total());
    EXPECT_TRUE(probe.losses.empty());
}

// The raw form carries the bytes as they are: no telnet negotiation ahead of them, no escaping,
// and the server's own settings stay.
TEST_F(Ser2netLine, TcpCarriesRawBytesAndLeavesTheServersSettings) {
    StartServer("tcp,127.0.0.1," + std::to_string(m_port));
    net::NetworkLine line(Address(Url("tcp")));
    Probe probe(line);
    line.open();
    ASSERT_TRUE(RunUntil([&] { return probe.opened == 1 || !probe.failures.empty(); }));
    ASSERT_EQ(probe.opened, 1) << probe.failures[0].reason;
    const std::string bytes("\xff\xfb\x2c\xff", 4);
    ASSERT_EQ(write(line, bytes), ERROR_SUCCESS);
    ASSERT_TRUE(RunUntil([&] { return m_pty.Received().size() >= bytes.size(); }));
    RunFor(200ms);
    EXPECT_EQ(m_pty.Received(), bytes);
    ASSERT_TRUE(m_pty.send("\xff"));
    ASSERT_TRUE(RunUntil([&] { return !probe.data.empty(); }));
    EXPECT_EQ(probe.data, "\xff");
    const termios far = m_pty.Settings();
    EXPECT_EQ(cfgetospeed(&far), B115200);
    EXPECT_EQ(far.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
}

// The server goes away and comes back: the line says it is lost, waits 1 s, 2 s, ... between
// tries with nothing else waking the process, drops what is typed meanwhile, and carries bytes
// again once the server is back.
TEST_F(Ser2netLine, ReconnectsAfterTheServerReturnsWithoutWorkBetweenTries) {
    const std::string accepter = "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(m_port);
    StartServer(accepter);
    net::NetworkLine line(Address(Url("rfc2217")));
    net::Reconnector reconnector(line);
    Probe probe(line);
    std::vector<int> waits;
    int reconnected = 0;
    QObject::connect(&reconnector, &net::Reconnector::waiting,
                     [&](int ms, const comm::LineError&) { waits.push_back(ms); });
    QObject::connect(&reconnector, &net::Reconnector::reconnected, [&] { ++reconnected; });
    // As the port manager does: a lost line is closed from the slot, and the back-off begins.
    uint32_t writeWhileLost = 0;
    QObject::connect(&line, &comm::Line::lost, [&](const comm::LineError& why) {
        writeWhileLost = write(line, "gone");
        line.close();
        reconnector.start(why);
    });
    line.open();
    ASSERT_TRUE(RunUntil([&] { return probe.opened == 1; }));

    m_server->stop();
    ASSERT_TRUE(RunUntil([&] { return !probe.losses.empty(); }));
    EXPECT_EQ(probe.losses[0].code, net::ERROR_NETNAME_DELETED);
    EXPECT_EQ(probe.losses[0].reason, net::ClosedByServer);
    EXPECT_EQ(writeWhileLost, net::ERROR_NETNAME_DELETED);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(write(line, "lost"), ERROR_INVALID_HANDLE);

    // Two tries fail while the server is away. From a failure to the next try the back-off timer
    // is all that runs: gensio does nothing at all.
    bool quiet = false;
    uint64_t quietFrom = 0, firingsAtFailure = 0;
    int quietBreaks = 0;
    QObject::connect(&line, &comm::Line::openFailed, [&] {
        quiet = true;
        quietFrom = net::qtGensioActivity().total();
        firingsAtFailure = reconnector.firings();
    });
    ASSERT_TRUE(RunUntil([&] {
        if (quiet && reconnector.firings() == firingsAtFailure && net::qtGensioActivity().total() != quietFrom) {
            ++quietBreaks;
        }
        return probe.failures.size() >= 2;
    }));
    RunFor(500ms);
    if (net::qtGensioActivity().total() != quietFrom) ++quietBreaks;
    EXPECT_EQ(quietBreaks, 0);
    EXPECT_EQ(reconnector.firings(), probe.failures.size());
    EXPECT_EQ(probe.failures[0].code, net::WSAECONNREFUSED);
    EXPECT_EQ(probe.failures[0].reason, std::strerror(ECONNREFUSED));
    EXPECT_EQ(waits, (std::vector<int>{1000, 2000, 4000}));

    StartServer(accepter);
    ASSERT_TRUE(RunUntil([&] { return reconnected == 1; }, 30s));
    EXPECT_TRUE(line.isOpen());
    EXPECT_FALSE(reconnector.active());
    ASSERT_EQ(write(line, "back"), ERROR_SUCCESS);
    ASSERT_TRUE(RunUntil([&] { return m_pty.Received().size() >= 4; }));
    EXPECT_EQ(m_pty.Received(), "back");
}

}  // namespace
}  // namespace tarvik::test
