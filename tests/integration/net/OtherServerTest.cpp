// The same line against an RFC 2217 server that is not ser2net: pyserial's, in front of a
// pseudo-terminal. It reports the settings as it received them, data bits and parity included,
// which a pseudo-terminal itself cannot show.
#include <gtest/gtest.h>

#include "common/Win32Codes.h"
#include "tests/integration/net/NetHarness.h"

namespace tarvik::test {
namespace {

TEST(OtherRfc2217Server, SetsTheLineAsALocalOneAndCarriesBytesBothWays) {
    EnsureCoreApplication();
    Pty pty;
    const std::string dir = TempDir();
    ChildProcess server(
        {"/usr/bin/python3", TARVIK_NET_TEST_DIR "/rfc2217_server.py", pty.Slave(), dir + "/port", dir + "/state"},
        dir + "/server");
    ASSERT_TRUE(WaitUntil([&] { return !ReadWhole(dir + "/port").empty(); })) << server.Errors();
    net::NetworkLine line(Address("rfc2217://127.0.0.1:" + ReadWhole(dir + "/port")));
    Probe probe(line);
    line.open();
    ASSERT_TRUE(RunUntil([&] { return probe.opened == 1 || !probe.failures.empty(); })) << server.Errors();
    ASSERT_EQ(probe.opened, 1) << probe.failures[0].reason;

    const std::string settled =
        R"({"baud": 9600, "bytesize": 8, "dtr": true, "parity": "N", "rts": true, "stopbits": 1})";
    ASSERT_TRUE(RunUntil([&] { return ReadWhole(dir + "/state") == settled; })) << ReadWhole(dir + "/state");
    const termios far = pty.Settings();
    EXPECT_EQ(cfgetospeed(&far), B9600);
    EXPECT_EQ(far.c_cflag & CSTOPB, 0u);

    ASSERT_EQ(write(line,
                    "a\xff"
                    "b"),
              ERROR_SUCCESS);
    ASSERT_TRUE(RunUntil([&] { return pty.Received().size() >= 3; })) << server.Errors();
    EXPECT_EQ(pty.Received(),
              "a\xff"
              "b");
    ASSERT_TRUE(pty.send("\x0c\xff Organ"));
    ASSERT_TRUE(RunUntil([&] { return probe.data.size() >= 8; })) << server.Errors();
    EXPECT_EQ(probe.data, "\x0c\xff Organ");
}

}  // namespace
}  // namespace tarvik::test
