#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace tarvik {
namespace {

RegistrationSwitch Scan(const std::vector<std::string>& argv) { return scanRegistrationSwitch(joinArguments(argv)); }

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
    // A program installed under a switch's name is still only a program.
    EXPECT_EQ(Scan({"/opt/RegServer"}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({"/opt/-UnregServer"}), RegistrationSwitch::None);
    EXPECT_EQ(Scan({"/opt/RegServer", "x"}), RegistrationSwitch::None);
    EXPECT_EQ(scanRegistrationSwitch("-"), RegistrationSwitch::None);
    EXPECT_EQ(scanRegistrationSwitch("/"), RegistrationSwitch::None);
}

TEST(CommandLineInfo, ClientSwitchesInAnyCaseAndNothingElse) {
    struct Case {
        std::vector<std::string> argv;
        bool embedded, automated;
    };
    for (const Case& c :
         {Case{{"tarvik", "-Embedding"}, true, false}, Case{{"tarvik", "--embedding"}, true, false},
          Case{{"tarvik", "/AUTOMATION", "file.txt", "-x", ""}, false, true},
          // The program's own name is never an argument; prefixes and suffixes do not count.
          Case{{"-Embedding", "---Embedding", "/Embeddings", "Automation", "/Auto", "//Automation"}, false, false}}) {
        const auto info = parseCommandLine(c.argv);
        EXPECT_EQ(info.m_embedded, c.embedded) << c.argv[1];
        EXPECT_EQ(info.m_automated, c.automated) << c.argv[1];
    }
}

// What --help promises: every switch takes '/', '-' or '--' in any case; and what it says is
// known is never called unknown.
TEST(CommandLineInfo, EverySwitchTakesEachPrefix) {
    for (const std::string prefix : {"/", "-", "--"}) {
        EXPECT_EQ(scanInfoRequest({"tarvik", prefix + "HELP", prefix + "version"}), InfoRequest::Help) << prefix;
        EXPECT_EQ(scanInfoRequest({"tarvik", prefix + "Version"}), InfoRequest::Version) << prefix;
        EXPECT_EQ(parseCommandLine({"tarvik", prefix + "automation"}).m_automated, 1) << prefix;
        const std::vector<std::string> known = {
            "tarvik",     prefix + "regserver", prefix + "UnregServer", prefix + "Embedding",
            prefix + "h", prefix + "Help",      prefix + "version"};
        EXPECT_EQ(unknownArguments(known), std::vector<std::string>{}) << prefix;
    }
    EXPECT_EQ(scanInfoRequest({"--help", "help", "-helps"}), InfoRequest::None);
    EXPECT_EQ(unknownArguments({"-Embedding", "---help", "help"}), (std::vector<std::string>{"---help", "help"}));
}

}  // namespace
}  // namespace tarvik
