// A COMn entry that links to a network address opens a network line; every other entry goes to
// the local opener, untouched.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/Win32Codes.h"
#include "lines/NetErrors.h"
#include "lines/NetworkLineOpener.h"
#include "tests/integration/net/NetHarness.h"

namespace tarvik::test {
namespace {

struct LocalLines final : comm::LineOpener {
    std::unique_ptr<comm::Line> open(const std::string& name, comm::OpenReport& report) override {
        asked.push_back(name);
        report.error = {ERROR_FILE_NOT_FOUND, "local"};
        return nullptr;
    }
    std::vector<std::string> asked;
};

TEST(NetworkLineOpener, AnAddressInThePortsFolderOpensANetworkLine) {
    EnsureCoreApplication();
    const std::string ports = TempDir();
    ::setenv("TARVIK_PORTS_DIR", ports.c_str(), 1);
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreePort());
    ASSERT_EQ(::symlink(refused.c_str(), (ports + "/COM3").c_str()), 0);
    ASSERT_EQ(::symlink("tcp://box:99999", (ports + "/COM4").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/ttyUSB9", (ports + "/COM5").c_str()), 0);
    LocalLines local;
    net::NetworkLineOpener opener(local);

    comm::OpenReport report;
    std::unique_ptr<comm::Line> line = opener.open("COM3", report);
    ASSERT_TRUE(line);
    EXPECT_EQ(report.target, refused);
    EXPECT_FALSE(line->isOpen()) << "still opening";
    std::vector<comm::LineError> failures;
    QObject::connect(line.get(), &comm::Line::openFailed, [&](const comm::LineError& why) { failures.push_back(why); });
    ASSERT_TRUE(RunUntil([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].code, net::WSAECONNREFUSED);

    EXPECT_FALSE(opener.open("COM4", report));
    EXPECT_EQ(report.target, "tcp://box:99999");
    EXPECT_EQ(report.error.code, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(report.error.reason, "bad network address: bad port \"99999\" (1 to 65535)");

    EXPECT_FALSE(opener.open("COM5", report));
    EXPECT_FALSE(opener.open("COM6", report));
    EXPECT_EQ(local.asked, (std::vector<std::string>{"COM5", "COM6"}));
    EXPECT_EQ(report.error.reason, "local");
}

}  // namespace
}  // namespace tarvik::test
