#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "automation/InterfaceXml.h"
#include "automation/Registration.h"

namespace tarvik {
namespace {

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

TEST(Registration, EachInterfaceGetsAnIntrospectionFileOfItsOwn) {
    std::vector<std::string> names;
    for (const auto& [name, doc] : SplitInterfaces(InterfaceXml())) {
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
