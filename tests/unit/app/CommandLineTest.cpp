#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace tarvik {
namespace {

RegistrationSwitch Scan(const std::vector<std::string>& argv) { return ScanRegistrationSwitch(JoinCommandLine(argv)); }

// The plain switches are run through the executable itself (ExecutableTest); here, the look-alikes.
TEST(RegistrationSwitch, OnlyTheLastThingOnTheLineCounts) {
    const std::string exe = "/opt/some-dir/tarvik";
    EXPECT_EQ(Scan({exe, "--regserver"}), RegistrationSwitch::Register);
    EXPECT_EQ(Scan({exe, "/UNREGSERVER"}), RegistrationSwitch::Unregister);
    EXPECT_EQ(Scan({exe, "/RegServer "}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({exe, "RegServer"}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({exe, "/RegServers"}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({exe}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({}), RegistrationSwitch::None);
    EXPECT_EQ(ScanRegistrationSwitch("-"), RegistrationSwitch::None);
    EXPECT_EQ(ScanRegistrationSwitch("/"), RegistrationSwitch::None);
}

TEST(CommandLineInfo, ClientSwitchesInAnyCaseAndNothingElse) {
    struct Case {
        std::vector<std::string> argv;
        bool embedded, automated;
    };
    for (const Case& c : {Case{{"tarvik", "-Embedding"}, true, false},
                          Case{{"tarvik", "/AUTOMATION", "file.txt", "-x", ""}, false, true},
                          // The program's own name is never an argument; prefixes and suffixes do not count.
                          Case{{"-Embedding", "--Embedding", "/Embeddings", "Automation", "/Auto"}, false, false}}) {
        const auto info = ParseCommandLine(c.argv);
        EXPECT_EQ(info.m_bEmbedded, c.embedded) << c.argv[1];
        EXPECT_EQ(info.m_bAutomated, c.automated) << c.argv[1];
    }
}

}  // namespace
}  // namespace tarvik
