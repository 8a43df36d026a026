// Network lines inside TLS, against ser2net with certificates the test makes with openssl: the
// server's certificate must verify against the CA given (or the system's) and name the host the
// address names; anything else is refused, with the reason, before a byte reaches the instrument.
#include <gtest/gtest.h>

#include "common/Win32Codes.h"
#include "lines/NetErrors.h"
#include "tests/integration/net/NetHarness.h"

namespace tarvik::test {
namespace {

using namespace std::chrono_literals;

bool Openssl(const std::string& dir, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/openssl");
    ChildProcess tool(arguments, dir + "/openssl");
    const auto status = tool.wait(30s);
    return status && *status == 0;
}

// A CA, a second CA nobody trusts, a certificate for 127.0.0.1 and localhost, and one for another
// host, the last two issued by the first CA.
bool MakeCertificates(const std::string& dir) {
    const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const auto ca = [&](const std::string& name) {
        std::vector<std::string> a = {"req", "-x509", "-days", "2", "-subj", "/CN=" + name};
        a.insert(a.end(), key.begin(), key.end());
        a.insert(a.end(), {"-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".crt"});
        return Openssl(dir, a);
    };
    const auto leaf = [&](const std::string& name, const std::string& altNames) {
        WriteFile(dir + "/" + name + ".ext", "subjectAltName=" + altNames + "\n");
        std::vector<std::string> request = {"req", "-new", "-subj", "/CN=" + name};
        request.insert(request.end(), key.begin(), key.end());
        request.insert(request.end(), {"-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".csr"});
        return Openssl(dir, request) &&
               Openssl(dir, {"x509", "-req", "-days", "2", "-in", dir + "/" + name + ".csr", "-CA", dir + "/ca.crt",
                             "-CAkey", dir + "/ca.key", "-CAcreateserial", "-extfile", dir + "/" + name + ".ext",
                             "-out", dir + "/" + name + ".crt"});
    };
    return ca("ca") && ca("stranger") && leaf("instrument", "IP:127.0.0.1,DNS:localhost") &&
           leaf("elsewhere", "DNS:other.example,IP:127.0.0.2");
}

class TlsLine : public testing::Test {
protected:
    static void SetUpTestSuite() {
        EnsureCoreApplication();
        m_dir = TempDir();
        ASSERT_TRUE(MakeCertificates(m_dir));
        m_good = FreePort();
        m_elsewhere = FreePort();
        m_plain = FreePort();
        const auto tls = [](const std::string& cert, uint16_t port) {
            return "telnet(rfc2217),ssl(key=" + m_dir + "/" + cert + ".key,cert=" + m_dir + "/" + cert +
                   ".crt),tcp,127.0.0.1," + std::to_string(port);
        };
        m_server = new Ser2net(
            m_dir,
            Ser2netConnection("good", tls("instrument", m_good), m_pty->Slave()) +
                Ser2netConnection("elsewhere", tls("elsewhere", m_elsewhere), m_pty->Slave()) +
                Ser2netConnection("plain", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(m_plain), m_pty->Slave()));
        ASSERT_TRUE(m_server->start({m_good, m_elsewhere, m_plain})) << m_server->Log();
    }
    static void TearDownTestSuite() {
        delete m_server;
        m_server = nullptr;
    }

    static std::string Url(uint16_t port, const std::string& query = "") {
        return "rfc2217+tls://127.0.0.1:" + std::to_string(port) + query;
    }

    static inline Pty* m_pty = new Pty;
    static inline std::string m_dir;
    static inline uint16_t m_good = 0, m_elsewhere = 0, m_plain = 0;
    static inline Ser2net* m_server = nullptr;
};

TEST_F(TlsLine, ACertificateForTheHostFromTheGivenCaOpens) {
    for (const std::string& url : {Url(m_good, "?ca=" + m_dir + "/ca.crt"),
                                   "rfc2217+tls://localhost:" + std::to_string(m_good) + "?ca=" + m_dir + "/ca.crt"}) {
        net::NetworkLine line(Address(url));
        Probe probe(line);
        line.open();
        ASSERT_TRUE(RunUntil([&] { return probe.opened == 1 || !probe.failures.empty(); })) << url;
        ASSERT_EQ(probe.opened, 1) << url << ": " << probe.failures[0].reason;
        m_pty->clear();
        ASSERT_EQ(write(line, "\xff key"), ERROR_SUCCESS);
        ASSERT_TRUE(RunUntil([&] { return m_pty->Received().size() >= 5; })) << url;
        EXPECT_EQ(m_pty->Received(), "\xff key");
        ASSERT_TRUE(m_pty->send("name"));
        ASSERT_TRUE(RunUntil([&] { return probe.data == "name"; })) << url;
        line.close();
    }
}

TEST_F(TlsLine, ACertificateThatDoesNotVerifyIsRefusedWithTheReason) {
    const std::string untrusted =
        "TLS refused: the server's certificate does not verify: unable to get local issuer certificate";
    struct Row {
        std::string what, url;
        uint32_t code;
        std::string reason;
        bool silent = true;  // nothing reaches the instrument
    };
    const Row rows[] = {
        {"the system's CAs do not know the test CA", Url(m_good), net::SEC_E_UNTRUSTED_ROOT, untrusted},
        {"another CA", Url(m_good, "?ca=" + m_dir + "/stranger.crt"), net::SEC_E_UNTRUSTED_ROOT, untrusted},
        {"issued for another host", Url(m_elsewhere, "?ca=" + m_dir + "/ca.crt"), net::SEC_E_WRONG_PRINCIPAL,
         "TLS refused: the server's certificate is for other.example, 127.0.0.2, not for 127.0.0.1"},
        {"no CA file", Url(m_good, "?ca=" + m_dir + "/none.crt"), net::SEC_E_UNTRUSTED_ROOT,
         "TLS refused: cannot read " + m_dir + "/none.crt: No such file or directory"},
        {"a server without TLS", Url(m_plain, "?ca=" + m_dir + "/ca.crt"), net::SEC_E_ILLEGAL_MESSAGE,
         "TLS refused: the handshake failed (does the server use TLS?)", false},  // it takes the hello for data
    };
    for (const Row& row : rows) {
        net::NetworkLine line(Address(row.url));
        Probe probe(line);
        m_pty->clear();
        line.open();
        ASSERT_TRUE(RunUntil([&] { return probe.opened == 1 || !probe.failures.empty(); })) << row.what;
        ASSERT_EQ(probe.failures.size(), 1u) << row.what;
        EXPECT_EQ(probe.failures[0].code, row.code) << row.what;
        EXPECT_EQ(probe.failures[0].reason, row.reason) << row.what;
        EXPECT_EQ(write(line, "x"), ERROR_INVALID_HANDLE) << row.what;
        RunFor(100ms);
        if (row.silent) { EXPECT_EQ(m_pty->Received(), "") << row.what; }
    }
}

}  // namespace
}  // namespace tarvik::test
