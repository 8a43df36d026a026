#include <gtest/gtest.h>

#include <string>

#include "lines/NetAddress.h"

namespace tarvik::net {
namespace {

TEST(NetAddress, TheFormsAPortsFolderLinkMayHold) {
    struct Row {
        const char* text;
        Framing framing;
        bool tls;
        const char* host;
        uint16_t port;
        const char* ca;
    };
    const Row rows[] = {
        {"rfc2217://127.0.0.1:2001", Framing::Rfc2217, false, "127.0.0.1", 2001, ""},
        {"tcp://lab-box.example.org:65535", Framing::Raw, false, "lab-box.example.org", 65535, ""},
        {"rfc2217+tls://[::1]:4000", Framing::Rfc2217, true, "::1", 4000, ""},
        {"tcp+tls://[fe80::1%eth0]:1", Framing::Raw, true, "fe80::1%eth0", 1, ""},
        {"RFC2217+TLS://serial-7:3001?ca=/etc/tarvik/lab ca.pem", Framing::Rfc2217, true, "serial-7", 3001,
         "/etc/tarvik/lab ca.pem"},
        {"  tcp://box:7\n", Framing::Raw, false, "box", 7, ""},
    };
    for (const Row& row : rows) {
        NetAddress address;
        std::string error;
        ASSERT_TRUE(parseNetAddress(row.text, address, error)) << row.text << ": " << error;
        EXPECT_EQ(address.framing, row.framing) << row.text;
        EXPECT_EQ(address.tls, row.tls) << row.text;
        EXPECT_EQ(address.host, row.host) << row.text;
        EXPECT_EQ(address.port, row.port) << row.text;
        EXPECT_EQ(address.caFile, row.ca) << row.text;
        EXPECT_TRUE(isNetworkAddress(row.text)) << row.text;
    }
    NetAddress address;
    std::string error;
    ASSERT_TRUE(parseNetAddress("  tcp://box:7\n", address, error));
    EXPECT_EQ(address.text, "tcp://box:7");
}

// Each malformed address is refused with words that point at what to change.
TEST(NetAddress, MalformedAddressesSayWhatIsWrong) {
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"http://box:80", "unknown scheme \"http\"; use rfc2217://, tcp://, rfc2217+tls:// or tcp+tls://"},
        {"rfc2217://:2001", "missing host"},
        {"rfc2217://[]:2001", "missing host"},
        {"tcp://box", "missing port (HOST:PORT)"},
        {"tcp://box:", "missing port (HOST:PORT)"},
        {"tcp://box:0", "bad port \"0\" (1 to 65535)"},
        {"tcp://box:65536", "bad port \"65536\" (1 to 65535)"},
        {"tcp://box:99999999999999999999", "bad port \"99999999999999999999\" (1 to 65535)"},
        {"tcp://box:-1", "bad port \"-1\" (1 to 65535)"},
        {"tcp://box:20x1", "unexpected \"x1\" after the port"},
        {"tcp://box:2001/", "unexpected \"/\" after the port"},
        {"tcp://::1:2001", "an IPv6 address goes in brackets: [::1]:PORT"},
        {"tcp://[::1:2001", "missing \"]\" after the IPv6 address"},
        {"tcp://[::1]2001", "unexpected \"2001\" after \"]\"; expected :PORT"},
        {"tcp://[::g]:1", "bad IPv6 address \"::g\""},
        {"tcp://[box]:1", "bad IPv6 address \"box\""},
        {"tcp://300.1.1.1:1", "bad IPv4 address \"300.1.1.1\""},
        {"tcp://my box:1", "bad host name \"my box\""},
        {"tcp://a..b:1", "bad host name \"a..b\""},
        {"tcp://box:1?ca=/x.pem", "ca=FILE needs TLS (rfc2217+tls:// or tcp+tls://)"},
        {"tcp+tls://box:1?ca=", "ca= names no file"},
        {"tcp+tls://box:1?verify=no", "unknown option \"verify=no\"; the only option is ca=FILE"},
        {"/dev/ttyUSB0", "not a network address; use rfc2217://, tcp://, rfc2217+tls:// or tcp+tls:// HOST:PORT"},
    };
    for (const Row& row : rows) {
        NetAddress address;
        std::string error;
        EXPECT_FALSE(parseNetAddress(row.text, address, error)) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
    EXPECT_FALSE(isNetworkAddress("/dev/serial/by-id/usb-FTDI-if00-port0"));
    EXPECT_FALSE(isNetworkAddress("../../ttyUSB0"));
}

}  // namespace
}  // namespace tarvik::net
