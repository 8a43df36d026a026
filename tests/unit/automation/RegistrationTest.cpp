#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "automation/InterfaceXml.h"
#include "automation/Registration.h"

namespace tarvik {
namespace {

// The bus reads Exec= through the file's escapes and then shell-like quoting; each path must come
// back whole. A path with a space, quotes and a dollar sign is started by a real bus in the
// integration test; here, backslashes, encodings and paths no Exec= line can carry.
TEST(registration, ExecLineQuotesEveryPathTheBusCanStart) {
    struct Case {
        std::string path;
        std::optional<std::string> exec;
    };
    for (const Case& c :
         std::vector<Case>{{"/usr/bin/tarvik", R"("/usr/bin/tarvik" -Embedding)"},
                           {"/opt/back\\slash $HOME/tarvik", R"("/opt/back\\\\slash $HOME/tarvik" -Embedding)"},
                           {"/opt/caf\xC3\xA9/tarvik", "\"/opt/caf\xC3\xA9/tarvik\" -Embedding"},
                           {"/opt/new\nline/tarvik", std::nullopt},
                           {"/opt/latin\xE9/tarvik", std::nullopt},
                           {"", std::nullopt}}) {
        const std::optional<std::string> text = serviceFileText(c.path);
        if (!c.exec) {
            EXPECT_FALSE(text.has_value()) << c.path;
            continue;
        }
        ASSERT_TRUE(text.has_value()) << c.path;
        EXPECT_EQ(*text, "[D-BUS Service]\nName=Tarvik.TarvikObject\nExec=" + *c.exec + "\n");
    }
}

TEST(registration, EachInterfaceGetsAnIntrospectionFileOfItsOwn) {
    std::vector<std::string> names;
    for (const auto& [name, doc] : splitInterfaces(interfaceXml())) {
        names.push_back(name);
        EXPECT_EQ(doc.find("<interface"), doc.rfind("<interface")) << name << ": one interface per file";
        EXPECT_NE(doc.find("<interface name=\"" + name + "\">"), std::string::npos);
        EXPECT_EQ(doc.substr(doc.size() - 8), "</node>\n");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Tarvik.ClassFactory", "Tarvik.ITarvikObject", "Tarvik.IConnectionPoint",
                                               "Tarvik._ITarvikObjectEvents", "Tarvik.Control", "Tarvik.Monitor"}));
}

}  // namespace
}  // namespace tarvik
