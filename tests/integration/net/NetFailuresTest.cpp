// A network line that cannot open says why, in the system's words and with the number a person
// sees, and then leaves the process alone.
#include <netdb.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "lines/NetErrors.h"
#include "lines/QtGensio.h"
#include "tests/integration/net/NetHarness.h"

namespace tarvik::test {
namespace {

using namespace std::chrono_literals;

comm::LineError OpenAndFail(net::NetworkLine& line) {
    Probe probe(line);
    line.open();
    EXPECT_TRUE(probe.failures.empty()) << "the answer comes from the event loop";
    EXPECT_TRUE(RunUntil([&] { return !probe.failures.empty() || probe.opened > 0; }));
    EXPECT_EQ(probe.opened, 0);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(line.isOpening());
    return probe.failures.empty() ? comm::LineError{} : probe.failures[0];
}

// A socket on 127.0.0.1 that listens and never accepts by itself; its address is `tcp://` + `where`.
int Listener(std::string& where) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 8) != 0) {
        return -1;
    }
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    where = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    return listener;
}

TEST(NetFailures, ARefusedPortIsToldAndNothingRunsAfterwards) {
    EnsureCoreApplication();
    net::NetworkLine line(Address("rfc2217://127.0.0.1:" + std::to_string(FreePort())));
    // What earlier tests' connections still do while gensio closes them is not this line's.
    ASSERT_TRUE(RunUntil([] { return net::liveSessions() == 0; }));
    const comm::LineError why = OpenAndFail(line);
    EXPECT_EQ(why.code, net::WSAECONNREFUSED);
    EXPECT_EQ(why.reason, std::strerror(ECONNREFUSED));
    const uint64_t after = net::qtGensioActivity().total();
    RunFor(300ms);
    EXPECT_EQ(net::qtGensioActivity().total(), after);
}

TEST(NetFailures, AnUnknownNameIsTold) {
    EnsureCoreApplication();
    net::NetworkLine line(Address("tcp://nonexistent.invalid:2001"));
    const comm::LineError why = OpenAndFail(line);
    // Not found, or no name server to ask where the tests run: either way in the resolver's words.
    if (why.code == net::WSATRY_AGAIN) {
        EXPECT_EQ(why.reason, ::gai_strerror(EAI_AGAIN));
    } else {
        EXPECT_EQ(why.code, net::WSAHOST_NOT_FOUND);
        EXPECT_EQ(why.reason, ::gai_strerror(EAI_NONAME));
    }
}

// A server that takes the connection and never answers: opening gives up after its time, and a
// line closed or destroyed while opening says nothing more.
TEST(NetFailures, AServerThatNeverAnswersTimesOutAndClosingWhileOpeningIsQuiet) {
    EnsureCoreApplication();
    std::string where;
    const int listener = Listener(where);
    ASSERT_GE(listener, 0);
    const std::string url = "rfc2217+tls://" + where;

    net::LineSettings quick;
    quick.openTimeout = 300ms;
    net::NetworkLine waiting(Address(url), quick);
    const comm::LineError why = OpenAndFail(waiting);
    EXPECT_EQ(why.code, net::WSAETIMEDOUT);
    EXPECT_EQ(why.reason, std::strerror(ETIMEDOUT));

    net::NetworkLine closed(Address(url));
    Probe probe(closed);
    closed.open();
    RunFor(200ms);
    closed.close();
    {
        net::NetworkLine dropped(Address(url));
        dropped.open();
        RunFor(200ms);
    }
    RunFor(300ms);
    EXPECT_EQ(probe.opened, 0);
    EXPECT_TRUE(probe.failures.empty());
    ::close(listener);
}

// The server goes away while keys are being sent, before the line has read that it went: the
// writes meet a connection the server has closed, which the line reports as lost. The process
// lives on (a send on such a connection would otherwise end it with SIGPIPE).
TEST(NetFailures, WritesToAServerThatWentAwayLoseTheLineNotTheProcess) {
    EnsureCoreApplication();
    std::string where;
    const int listener = Listener(where);
    ASSERT_GE(listener, 0);
    net::NetworkLine line(Address("tcp://" + where));
    Probe probe(line);
    line.open();
    ASSERT_TRUE(RunUntil([&] { return probe.opened > 0; }));
    const int server = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    ::close(server);
    ::close(listener);
    // No return to the event loop between the writes: the first draws the closed end's reset, the
    // ones after it fail with EPIPE.
    for (int i = 0; i < 20; ++i) write(line, "key");
    ASSERT_TRUE(RunUntil([&] { return !probe.losses.empty(); }));
    EXPECT_EQ(probe.losses.size(), 1u);
    EXPECT_NE(write(line, "key"), 0u);
}

// An address that asks for RFC 2217 of a telnet server without it is refused rather than opened
// with the far line's settings unknown.
TEST(NetFailures, ATelnetServerWithoutRfc2217IsRefused) {
    EnsureCoreApplication();
    Pty pty;
    const uint16_t port = FreePort();
    Ser2net server(TempDir(), Ser2netConnection("plain", "telnet,tcp,127.0.0.1," + std::to_string(port), pty.Slave()));
    ASSERT_TRUE(server.start({port})) << server.Log();
    net::NetworkLine line(Address("rfc2217://127.0.0.1:" + std::to_string(port)));
    const comm::LineError why = OpenAndFail(line);
    EXPECT_EQ(why.code, net::ERROR_NOT_SUPPORTED);
    EXPECT_EQ(why.reason, "the server does not offer RFC 2217 (telnet COM-PORT option)");
}

}  // namespace
}  // namespace tarvik::test
