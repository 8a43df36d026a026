#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "automation/AnsiText.h"
#include "automation/InterfaceXml.h"
#include "automation/Registration.h"
#include "tests/support/TestSandbox.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The bus reads Exec= through the file's escapes and then shell-like quoting; each path must come
// back whole. What the bus makes of each line was tried on a real bus (see the integration test).
TEST(Registration, ExecLineQuotesEveryPathTheBusCanStart) {
    struct Case {
        std::string path;
        std::optional<std::string> exec;
    };
    for (const Case& c :
         std::vector<Case>{{"/usr/bin/tarvik", R"("/usr/bin/tarvik" -Embedding)"},
                           {"/opt/my apps/tarvik", R"("/opt/my apps/tarvik" -Embedding)"},
                           {"/opt/it's/tarvik", R"("/opt/it's/tarvik" -Embedding)"},
                           {"/opt/a \"b\"/tarvik", R"("/opt/a \\"b\\"/tarvik" -Embedding)"},
                           {"/opt/back\\slash $HOME/tarvik", R"("/opt/back\\\\slash $HOME/tarvik" -Embedding)"},
                           {"/opt/caf\xC3\xA9/tarvik", "\"/opt/caf\xC3\xA9/tarvik\" -Embedding"},
                           {"/opt/new\nline/tarvik", std::nullopt},
                           {"/opt/latin\xE9/tarvik", std::nullopt},
                           {"", std::nullopt}}) {
        const std::optional<std::string> text = ServiceFileText(c.path);
        if (!c.exec) {
            EXPECT_FALSE(text.has_value()) << c.path;
            continue;
        }
        ASSERT_TRUE(text.has_value()) << c.path;
        EXPECT_EQ(*text, "[D-BUS Service]\nName=Tarvik.TarvikObject\nExec=" + *c.exec + "\n");
    }
}

TEST(Registration, WritesTheServiceAndOneFilePerInterfaceAndRemovesThem) {
    test::TestSandbox sandbox;
    const fs::path data = sandbox.Dir() / "data";
    std::string error;
    ASSERT_TRUE(WriteRegistration(data, "/opt/tarvik", InterfaceXml(), error)) << error;
    EXPECT_EQ(Read(data / "dbus-1/services/Tarvik.TarvikObject.service"), *ServiceFileText("/opt/tarvik"));
    for (const char* name : {"Tarvik.ClassFactory", "Tarvik.ITarvikObject", "Tarvik.IConnectionPoint",
                             "Tarvik._ITarvikObjectEvents", "Tarvik.Control"}) {
        const std::string doc = Read(data / "dbus-1/interfaces" / (std::string(name) + ".xml"));
        EXPECT_NE(doc.find(std::string("<interface name=\"") + name + "\">"), std::string::npos) << name;
        EXPECT_EQ(doc.find("<interface", doc.find("</interface>")), std::string::npos) << "one interface per file";
        EXPECT_EQ(doc.substr(doc.size() - 8), "</node>\n");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(data / "dbus-1/interfaces"), fs::directory_iterator()), 5);

    ASSERT_TRUE(RemoveRegistration(data, InterfaceXml(), error)) << error;
    EXPECT_TRUE(fs::is_empty(data / "dbus-1/services"));
    EXPECT_TRUE(fs::is_empty(data / "dbus-1/interfaces"));
    EXPECT_TRUE(RemoveRegistration(data, InterfaceXml(), error)) << "nothing left to remove is not a failure";

    if (::geteuid() != 0) {  // root may write anywhere
        ::chmod(data.c_str(), 0500);
        ::chmod((data / "dbus-1").c_str(), 0500);
        ::chmod((data / "dbus-1/services").c_str(), 0500);
        EXPECT_FALSE(WriteRegistration(data, "/opt/tarvik", InterfaceXml(), error));
        EXPECT_NE(error.find("dbus-1/services"), std::string::npos) << error;
        ::chmod((data / "dbus-1/services").c_str(), 0700);
        ::chmod((data / "dbus-1").c_str(), 0700);
        ::chmod(data.c_str(), 0700);
    }
    EXPECT_FALSE(WriteRegistration(fs::path(), "/opt/tarvik", InterfaceXml(), error));
}

TEST(AnsiText, ClientTextBecomesWindows1252AndNamesComeBack) {
    struct Case {
        std::string utf8, ansi;
    };
    for (const Case& c : std::vector<Case>{{"plain", "plain"},
                                           {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
                                           {"\xC5\xA0\xE2\x84\xA2", "\x8A\x99"},
                                           {"\xE4\xB8\xAD\xF0\x9F\x98\x80", "??"},
                                           {"bad\xC3", "bad?"},
                                           {"\xFF", "?"}}) {
        EXPECT_EQ(ToAnsiText(c.utf8), c.ansi) << c.utf8;
    }
    EXPECT_EQ(FromAnsiText("caf\xE9 \x80\x81"), "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81");
}

}  // namespace
}  // namespace tarvik
